/* Force-included into the board code compiled for the host tests. The vendor's CMSIS
 * compiler header writes the barrier, interrupt-mask and special-register instructions
 * as inline assembly for the Cortex-M4; on the host the assembler gets them as macros:
 * barriers and interrupt masking do nothing (the tests run one thread, without
 * interrupts), and a special-register read gives 0. */
__asm__(
    ".macro isb arg\n.endm\n"
    ".macro dsb arg\n.endm\n"
    ".macro dmb arg\n.endm\n"
    ".macro cpsid arg\n.endm\n"
    ".macro cpsie arg\n.endm\n"
    ".macro mrs dst, src\nxorl \\dst, \\dst\n.endm\n"
    ".macro msr dst, src\n.endm\n");
