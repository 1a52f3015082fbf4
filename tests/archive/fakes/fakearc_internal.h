// What the fake archiver libraries use of the shared state library, besides
// the control functions of fake_archiver.h.
#pragma once

#define FAKEARC_EXPORT __attribute__((visibility("default")))

extern "C" {
// The scripted value of key for library, or fallback.
const char* FakeArc_Get(const char* library, const char* key, const char* fallback);
// Appends one line (without its newline) to the log.
void FakeArc_Append(const char* line);
void FakeArc_NoteLoad(const char* library);
}
