/* velmor: the programmer's driver library.
 *
 * Eleven C entry points reach a 25-series SPI NOR flash chip in the programmer's
 * socket. Every entry point returns a 32-bit integer; unless stated otherwise a
 * non-zero result means success. The contract and the simulator's configuration
 * are described in driver/README.md.
 */
#ifndef VELMOR_H
#define VELMOR_H

#include <stdint.h>

#if defined(_WIN32)
#define VELMOR_CALL __stdcall
#define VELMOR_EXPORT __declspec(dllexport)
#else
#define VELMOR_CALL
#define VELMOR_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Number of attached programmers; greater than 0 means one is present. */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixEnum(void);
/* Opens programmer `index`; returns a connection handle, negative on failure. */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixOpen(int32_t index);
/* Closes a connection; the result carries no meaning. */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixClose(int32_t handle);
/* Non-zero when the programmer answers. */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixUsbSelfTest(int32_t handle);
/* Sets (value != 0) or clears the chip's block-protect bit BP1. */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixSetBP1(int32_t handle, int32_t value);
/* Prepares the chip: kind 5 is a 25-series chip; size 0 = probe only, else the size in bytes. */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixSetFlashInfo(int32_t handle, int32_t kind, int32_t size);
/* Sets the page-program time budget (5 when probing, 500 before programming). */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixSetWriteTime(int32_t handle, int32_t time);
/* Erases the whole chip; non-zero when every byte reads 0xFF afterwards. */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixInitFlash(int32_t handle);
/* Programs `length` (1..8192) bytes at `address`; on success *done = bytes programmed. */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixProgram(int32_t handle, const uint8_t* data, uint32_t length,
                                                uint32_t address, uint32_t* done);
/* Reads `length` (1..8192) bytes from `address`; on success *done = bytes delivered. */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixRead(int32_t handle, uint8_t* buffer, uint32_t length,
                                             uint32_t address, uint32_t* done);
/* Describes the chip: *kind 5 = 25-series, *code 16 + log2(size / 128 KiB). */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixGetFlashInfo(int32_t handle, int32_t* kind, int32_t* code);

/* Beside the eleven: why the calling thread's last QuovixOpen, QuovixInitFlash or
 * QuovixProgram failed, so that a caller can tell the user more than "failed".
 * Each of those calls sets it (VELMOR_REASON_NONE on success or a failure of no
 * known cause); the other entry points leave it as it was. */
#define VELMOR_REASON_NONE 0
/* A programmer is attached but the user may not open it (USB permissions: the udev rule). */
#define VELMOR_REASON_ACCESS_DENIED 1
/* The status register's protect bits could not be cleared (the chip's WP pin holds them). */
#define VELMOR_REASON_WRITE_PROTECTED 2
VELMOR_EXPORT int32_t VELMOR_CALL QuovixLastFailure(void);

/* Where a chip's identity came from. */
#define VELMOR_IDENTITY_UNKNOWN 0  /* neither the database nor SFDP knows it */
#define VELMOR_IDENTITY_DATABASE 1 /* a row of the chip database */
#define VELMOR_IDENTITY_SFDP 2     /* the chip's own SFDP table */

/* The chip in the socket as the last connection check identified it. Texts are
 * UTF-8 and always NUL-terminated; a part list too long for `parts` is cut at a comma. */
typedef struct VelmorChipIdentity {
    uint32_t jedec_id;   /* 0xMMTTCC: manufacturer, memory type, capacity byte */
    int32_t source;      /* VELMOR_IDENTITY_* */
    char maker[32];      /* empty unless from the database */
    char parts[256];     /* every part name sharing the id, comma-separated; empty unless from the database */
    uint32_t size;       /* bytes; 0 when unknown */
    uint32_t page_size;  /* page program size in bytes */
    uint32_t erase_size; /* smallest erase block in bytes; 0 when unknown */
    uint32_t erase_opcode;  /* its opcode (3-byte addresses) */
    uint32_t millivolts;    /* supply: 3300 or 1800; 0 when unknown */
    uint32_t address_bytes; /* 3, 4 (4-byte only) or 34 (3-byte default, 4-byte capable) */
} VelmorChipIdentity;

/* Fills *identity; 1 on success, 0 when the handle is not open or no chip answers. */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixGetChipIdentity(int32_t handle, VelmorChipIdentity* identity);

/* The caller promises (value != 0) to read the whole chip back itself after its
 * erase and programs on this connection, or withdraws the promise (0). While it
 * holds, QuovixInitFlash does not read the chip back for blankness and QuovixProgram
 * does not read back what it wrote: both still fail when the chip stays busy or
 * a status write does not take. Every connection starts without it. 1 on an
 * open handle, 0 otherwise. */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixSetVerifyLater(int32_t handle, int32_t value);

/* The chip's erase blocks as the last connection check found them (chip database
 * row or SFDP), smallest first, 3-byte-address opcodes. count 0 = unknown. */
typedef struct VelmorEraseBlocks {
    uint32_t count;         /* 0..4 */
    uint32_t size[4];       /* bytes, powers of two */
    uint32_t opcode[4];     /* 3-byte-address opcodes (20, 52, D8 ...) */
    uint32_t chip_erase_ms; /* typical whole-chip erase time (database erase_s); 0 when unknown */
} VelmorEraseBlocks;
/* Fills *blocks; 1 on an open handle whose chip answered, 0 otherwise. */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixGetEraseBlocks(int32_t handle, VelmorEraseBlocks* blocks);

/* Erases [address, address + length). Both must be multiples of the smallest erase
 * block and the range must lie within the size set by QuovixSetFlashInfo (which must
 * have been called, as for QuovixInitFlash). At each step it uses the largest block
 * that is aligned and fits in what remains; chips above 16 MiB get the 4-byte
 * opcodes (4K 21, 32K 5C, 64K DC) or 4-byte address mode as the chip supports.
 * Unless QuovixSetVerifyLater holds, each erased block is checked (read back for
 * blankness; say in driver/README.md). *done = bytes erased before the first block
 * that failed (= length on success), so a failure is at address + *done.
 * 1 on success, 0 on failure (QuovixLastFailure as for QuovixInitFlash). */
VELMOR_EXPORT int32_t VELMOR_CALL QuovixEraseRange(int32_t handle, uint32_t address, uint32_t length,
                                                   uint32_t* done);

#ifdef __cplusplus
}
#endif

#endif /* VELMOR_H */
