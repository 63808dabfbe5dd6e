#include "sim/trace.h"

#include <cerrno>
#include <charconv>
#include <cstring>

namespace sim {

namespace {
constexpr std::size_t kSpillAt = 1u << 18;
}

Trace::~Trace() {
    close();
}

bool Trace::open_file(const std::string &path, std::string &error) {
    close();
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error = "cannot open trace file " + path + ": " + std::strerror(errno);
        return false;
    }
    path_ = path;
    error_.clear();
    buf_.reserve(kSpillAt + 4096);
    return true;
}

void Trace::open_string(std::string *sink) {
    close();
    str_ = sink;
}

void Trace::close() {
    flush();
    if (file_ && std::fclose(file_) != 0 && error_.empty())
        error_ = "cannot write trace file " + path_ + ": " + std::strerror(errno);
    file_ = nullptr;
    str_ = nullptr;
}

void Trace::failed(const char *doing) {
    if (error_.empty())
        error_ = std::string("cannot ") + doing + " trace file " + path_ + ": " +
                 std::strerror(errno);
    std::fclose(file_);
    file_ = nullptr;
}

void Trace::spill() {
    if (buf_.empty())
        return;
    if (file_ && std::fwrite(buf_.data(), 1, buf_.size(), file_) != buf_.size())
        failed("write");
    if (str_)
        str_->append(buf_);
    buf_.clear();
}

void Trace::flush() {
    spill();
    if (file_ && std::fflush(file_) != 0)
        failed("write");
}

void Trace::raw(std::string_view s) {
    buf_.append(s.data(), s.size());
}
void Trace::raw(char c) {
    buf_.push_back(c);
}

void Trace::key(std::string_view k) {
    raw(",\"");
    raw(k);
    raw("\":");
}

Trace &Trace::begin(Time t, std::string_view type) {
    char num[24];
    auto r = std::to_chars(num, num + sizeof num, t);
    raw("{\"t\":");
    raw(std::string_view(num, static_cast<std::size_t>(r.ptr - num)));
    raw(",\"type\":\"");
    raw(type);
    raw('"');
    return *this;
}

Trace &Trace::field(std::string_view k, std::uint64_t value) {
    char num[24];
    auto r = std::to_chars(num, num + sizeof num, value);
    key(k);
    raw(std::string_view(num, static_cast<std::size_t>(r.ptr - num)));
    return *this;
}

Trace &Trace::field_signed(std::string_view k, std::int64_t value) {
    char num[24];
    auto r = std::to_chars(num, num + sizeof num, value);
    key(k);
    raw(std::string_view(num, static_cast<std::size_t>(r.ptr - num)));
    return *this;
}

Trace &Trace::field(std::string_view k, std::string_view text) {
    key(k);
    raw('"');
    escape(buf_, text);
    raw('"');
    return *this;
}

Trace &Trace::field_bool(std::string_view k, bool value) {
    key(k);
    raw(value ? "true" : "false");
    return *this;
}

void Trace::end() {
    raw("}\n");
    if (buf_.size() >= kSpillAt)
        spill();
}

void Trace::escape(std::string &out, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c >= 0x7F) {
                    out += "\\u00";
                    out += hex[c >> 4];
                    out += hex[c & 15];
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
}

}  // namespace sim
