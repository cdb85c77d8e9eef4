// The opcodes check's table: one row for each opcode 0..79, saying what the host sends with it and
// what it accepts back. The check walks the rows in order (opcodes.cpp).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "host/validate/probe.h"

namespace vsthost::validation {

// What the pointer argument is, and so what answer the host accepts.
enum class Answer {
    notSent,   // the opcode is skipped
    anything,  // the pointer is null; any return value will do
    text,      // a 256-byte buffer with a canary beyond: a terminated text of at most 255 characters
    block,     // 4 KiB of zeros, which the plug-in may fill as it likes
};

// For what plain arguments cannot say: a structure, a value read back first, two calls.
using Send = void (*)(Probe& probe, Plugin& plugin, int32_t op);

struct OpcodeRow {
    int32_t op;
    const char* name;
    Answer answer = Answer::anything;
    bool aboutParameter0 = false;  // not sent to a plug-in without parameters
    int32_t index = 0;
    intptr_t value = 0;
    float opt = 0.0f;
    Send send = nullptr;  // when set, it makes the call in place of the arguments above
};

std::span<const OpcodeRow> opcodeTable();

// "effGetParamName"; "opcode 80" for one beyond the table.
std::string opcodeName(int32_t op);

// Makes the row's call (or calls); a text answer is checked as textCall checks it.
void sendRow(Probe& probe, Plugin& plugin, const OpcodeRow& row);

}  // namespace vsthost::validation
