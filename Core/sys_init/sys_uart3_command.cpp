// The console command interpreter: the table of commands, their argument rules and
// texts, and the lines waiting between the receive interrupt and the main loop.
#include "sys_uart3_command.h"

#include <atomic>
#include <cstring>

#include "btime.h"
#include "exflash.h"
#include "flash_user_data.h"
#include "main.h"
#include "sys_dnt.h"
#include "sys_dump.h"
#include "sys_onoff.h"
#include "sys_rtc.h"
#include "sys_sdata.h"
#include "sys_ster.h"
#include "sys_uart.h"

namespace {

constexpr const char *kBannerStart =
    "\r\n------------------------------------------------------------------------------\r\n";
constexpr const char *kBannerEnd =
    "##############################################################################\r\n";
constexpr const char *kRtcRefused = "set rtc : invalid date or time (YYYY-MM-DD hh:mm:ss)\r\n";

// Written by the receive interrupt (head) and the main loop (tail) only.
char __uart3_cmd_waiting[SYS_UART3_COMMAND_WAITING][SYS_UART3_COMMAND_LINE];
volatile uint32_t __uart3_cmd_head = 0;
volatile uint32_t __uart3_cmd_tail = 0;

int run_tdata(int, char **) {
    return flash_user_data_print_trigger_data();
}

int run_exclean(int, char **) {
    exflash_reset();
    return 0;
}

int run_dump(int argc, char **argv) {
    return argc >= 2 ? sys_dump_sector(argc, argv) : -1;
}

struct Command {
    const char *word;
    int (*run)(int argc, char **argv);
};

// Matched in this order, exactly and case-sensitively.
const Command kCommands[] = {
    {"tdata", run_tdata},
    {"dnt", sys_uart3_command_dnt},
    {"sdata", sys_uart3_command_sdata},
    {"exclean", run_exclean},
    {"ster", sys_uart3_command_ster},
    {"set", sys_uart3_command_set},
    {"show", sys_uart3_command_show},
    {"dump", run_dump},
};

const Command *find(const char *word) {
    for (const Command &c : kCommands)
        if (std::strcmp(word, c.word) == 0)
            return &c;
    return nullptr;
}

// A log sector argument: its first character in lo..hi and its value too, so that
// "3x" lists sector 3 while "30" and "-1" are refused. The sector, or -1.
int sector_arg(const char *s, char lo, char hi) {
    if (s[0] < lo || s[0] > hi)
        return -1;
    const int32_t v = sys_uart3_command_atoi(s);
    return v >= lo - '0' && v <= hi - '0' ? v : -1;
}

// Lists each of the one or two sector arguments that passes, in the order given:
// date-and-time log sectors 0..3, or status-event sectors 4 and 5.
void print_sectors(int argc, char **argv, bool ster) {
    if (argc != 2 && argc != 3)
        return;
    for (int i = 1; i < argc; ++i) {
        const int s = ster ? sector_arg(argv[i], '4', '5') : sector_arg(argv[i], '0', '3');
        if (s < 0)
            continue;
        if (ster)
            sys_ster_print_sector(static_cast<uint32_t>(s));
        else
            sys_dnt_print_sector(static_cast<uint32_t>(s));
    }
}

// Only digits, 1 to max_digits of them: the calendar's fields are never read past a
// stray character the way atoi would.
bool plain_number(const char *s, size_t max_digits) {
    size_t n = 0;
    for (; s[n] != '\0'; ++n)
        if (s[n] < '0' || s[n] > '9')
            return false;
    return n >= 1 && n <= max_digits;
}

// "YYYY-MM-DD" (or a two-digit year) and "hh:mm:ss". Every field is checked before
// it is narrowed to the RTC's byte, so that no value wraps onto a valid-looking one;
// the calendar then refuses days the month does not have. 0, or -1 with the RTC
// untouched.
int set_rtc(char *date, char *time) {
    char *d[3];
    char *t[3];
    if (parse_command(date, "-", d, 3) != 3 || parse_command(time, ":", t, 3) != 3)
        return -1;
    if (!plain_number(d[0], 4))
        return -1;
    for (int i = 0; i < 3; ++i)
        if ((i > 0 && !plain_number(d[i], 2)) || !plain_number(t[i], 2))
            return -1;
    int32_t year = sys_uart3_command_atoi(d[0]);
    if (year >= 2000 && year <= 2099)
        year -= 2000;
    const int32_t month = sys_uart3_command_atoi(d[1]), day = sys_uart3_command_atoi(d[2]);
    const int32_t h = sys_uart3_command_atoi(t[0]), m = sys_uart3_command_atoi(t[1]),
                  s = sys_uart3_command_atoi(t[2]);
    if (year > 99 || month < 1 || month > 12 || day < 1 || day > 31 || h > 23 || m > 59 || s > 59)
        return -1;
    uint8_t bytes[6] = {static_cast<uint8_t>(year), static_cast<uint8_t>(month),
                        static_cast<uint8_t>(day),  static_cast<uint8_t>(h),
                        static_cast<uint8_t>(m),    static_cast<uint8_t>(s)};
    return sys_rtc_set_time(bytes);
}

}  // namespace

int32_t sys_uart3_command_atoi(const char *s) {
    while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
    const bool negative = *s == '-';
    if (*s == '-' || *s == '+')
        ++s;
    int64_t v = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        v = v * 10 + (*s - '0');
        if (v > INT32_MAX)
            return negative ? INT32_MIN : INT32_MAX;
    }
    return static_cast<int32_t>(negative ? -v : v);
}

int parse_command(char *szCommand, const char *szDelimiter, char **argv, int argv_num) {
    int n = 0;
    char *p = szCommand;
    for (;;) {
        p += std::strspn(p, szDelimiter);
        if (*p == '\0')
            break;
        if (n == argv_num)
            return -1;
        argv[n++] = p;
        p += std::strcspn(p, szDelimiter);
        if (*p == '\0')
            break;
        *p++ = '\0';
    }
    return n >= 1 ? n : -1;
}

bool sys_uart3_command_submit(const uint8_t *line) {
    char copy[SYS_UART3_COMMAND_LINE];
    std::strncpy(copy, reinterpret_cast<const char *>(line), sizeof copy - 1);
    copy[sizeof copy - 1] = '\0';
    char *tokens[SYS_UART3_COMMAND_TOKENS];
    if (parse_command(copy, " ", tokens, SYS_UART3_COMMAND_TOKENS) < 1 || !find(tokens[0]))
        return false;
    // The tick stops before the line waits: nothing it does races the command.
    enter_service_mode();
    const uint32_t head = __uart3_cmd_head;
    if (head - __uart3_cmd_tail >= SYS_UART3_COMMAND_WAITING)
        return true;  // typed far ahead of the listings: this line is dropped
    std::strncpy(__uart3_cmd_waiting[head % SYS_UART3_COMMAND_WAITING],
                 reinterpret_cast<const char *>(line), SYS_UART3_COMMAND_LINE - 1);
    __uart3_cmd_waiting[head % SYS_UART3_COMMAND_WAITING][SYS_UART3_COMMAND_LINE - 1] = '\0';
    std::atomic_signal_fence(std::memory_order_release);  // the text before the index
    __uart3_cmd_head = head + 1;
    return true;
}

void sys_uart3_command_run_waiting(void) {
    for (uint32_t tail = __uart3_cmd_tail; tail != __uart3_cmd_head; tail = __uart3_cmd_tail) {
        std::atomic_signal_fence(std::memory_order_acquire);
        sys_uart3_command(__uart3_cmd_waiting[tail % SYS_UART3_COMMAND_WAITING]);
        __uart3_cmd_tail = tail + 1;
    }
}

void sys_uart3_command(char *szCommand) {
    char *tokens[SYS_UART3_COMMAND_TOKENS];
    const int n = parse_command(szCommand, " ", tokens, SYS_UART3_COMMAND_TOKENS);
    if (n < 1)
        return;
    const Command *c = find(tokens[0]);
    if (c == nullptr)
        return;
    enter_service_mode();
    UART5_Printf("%s", kBannerStart);
    c->run(n, tokens);
    UART5_Printf("%s", kBannerEnd);
}

int sys_uart3_command_dnt(int argc, char **argv) {
    if (argc == 1) {
        sys_onoff_print();
    } else if (argc == 2 && std::strcmp(argv[1], "-d") == 0) {
        sys_dnt_print_all();
    } else if (argc == 2 && std::strcmp(argv[1], "-o") == 0) {
        sys_onoff_print_all();
    } else {
        print_sectors(argc, argv, false);
    }
    return 0;
}

int sys_uart3_command_ster(int argc, char **argv) {
    if (argc == 1) {
        sys_ster_print();
    } else if (argc == 2 && std::strcmp(argv[1], "-a") == 0) {
        sys_ster_print_all();
    } else {
        print_sectors(argc, argv, true);
    }
    return 0;
}

int sys_uart3_command_sdata(int argc, char **argv) {
    if (argc != 3)
        return -1;
    const int32_t a = sys_uart3_command_atoi(argv[1]), b = sys_uart3_command_atoi(argv[2]);
    const int32_t first = static_cast<int32_t>(SYS_SDATA_FIRST_BLOCK);
    const int32_t last = static_cast<int32_t>(SYS_SDATA_LAST_BLOCK);
    if (a < first || a > last || b < first || b > last)
        return -1;
    return sys_sdata_print(a, b);
}

int sys_uart3_command_set(int argc, char **argv) {
    if (argc >= 2 && std::strcmp(argv[1], "rtc") == 0) {
        if (argc != 4 || set_rtc(argv[2], argv[3]) != 0) {
            UART5_Printf("%s", kRtcRefused);
            return -1;
        }
        UART5_Printf("RTC : %s\r\n", GetCurrentDateTimeString());
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "id") == 0 &&
        std::strlen(argv[2]) < FLASH_USER_DATA_DEVICE_ID_SIZE) {
        char id[FLASH_USER_DATA_DEVICE_ID_SIZE] = {};
        std::memcpy(id, argv[2], std::strlen(argv[2]));
        if (flash_user_data_set_device_id(id) < 0)
            return -1;
        UART5_Printf("set device_id : %s -> complete.\r\n", id);
        return 0;
    }
    return -1;
}

int sys_uart3_command_show(int argc, char **argv) {
    if (argc != 2)
        return 0;
    if (std::strcmp(argv[1], "rtc") == 0) {
        UART5_Printf("RTC : %s\r\n", GetCurrentDateTimeString());
    } else if (std::strcmp(argv[1], "id") == 0) {
        char id[FLASH_USER_DATA_DEVICE_ID_SIZE];
        if (flash_user_data_get_device_id(id) >= 0)
            UART5_Printf("device_id : %s\r\n", id);
    }
    return 0;
}
