#pragma once
// Console "dump": hex dump of whole external flash sectors.

// For each argument from argv[1] on, a decimal sector number: "Sector N" and its 16
// pages as hexa_dump2 lines with offsets relative to the sector. A negative number
// ends the dump; a number past the chip's last sector (8191) prints only its
// heading; a page that cannot be read ends that sector.
int sys_dump_sector(int argc, char **argv);
