// Progress reporting of our archiver libraries.
//
// While an owner window is registered with <Prefix>SetOwnerWindowEx, every
// extraction (command entry and ExtractMem) sends it the registered window
// message "wm_arcextract" through SendMessageA, synchronously:
//   wParam = state: ArcStateBegin before the first byte of a file,
//            ArcStateWriting after each block written (at least every 64 KiB
//            of output), ArcStateEnd after the file is complete and in place;
//   lParam = address of an EXTRACTINGINFOEX, valid during the call only.
// A non-zero answer stops the extraction: the file being written is
// discarded (no partial file stays) and the entry answers the abort code.
#pragma once

#include <cstdint>

extern "C" {

enum ArcExtractState : uint32_t {
    ArcStateBegin = 0,
    ArcStateWriting = 1,
    ArcStateEnd = 2,
};

typedef struct ExtractingInfoEx {
    uint32_t structSize;   // sizeof(EXTRACTINGINFOEX)
    uint32_t state;        // as wParam
    uint64_t fileSize;     // original size of the entry (0 when unknown)
    uint64_t writtenSize;  // bytes written so far
    uint32_t crc;          // stored CRC of the entry
    uint16_t dosDate;      // stored DOS date and time
    uint16_t dosTime;
    uint32_t attributes;  // DOS attributes
    uint32_t reserved;
    char archiveName[520];      // archive path as the command named it
    char entryName[520];        // name inside the archive, UTF-8, "/" between folders
    char destinationName[520];  // Windows-style path written ("" for ExtractMem)
    char method[16];            // method text
} EXTRACTINGINFOEX, *LPEXTRACTINGINFOEX;

}  // extern "C"
