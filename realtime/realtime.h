// How state reaches the audio thread, in both plug-ins.
//
// Hosts call any interface function on any thread while audio runs, and the audio thread must never wait,
// allocate or lock. So whatever the audio path reads is changed only by the audio thread:
//  - a control (a parameter value, a switch) is an atomic that any thread writes and the audio path reads;
//  - anything larger (designs for a new rate, a prepared impulse-response spectrum, a program switch's
//    clearing) is prepared on the caller's thread, aside, and handed over without locks: a TripleBuffer for
//    values, a counter for requests;
//  - the audio thread takes what was handed over at the top of a block, in one call named `adoptPending`,
//    before it reads anything else. A value handed over again unchanged is not taken again, so a host that
//    re-sends it hears nothing.
// Until audio first runs there is no audio thread to take a change: the caller then holds the audio side
// itself, through the AudioGuard, and adopts at once. The guard also lets a thread that must replace the
// buffers the audio path works in (a new sample rate) keep the audio thread out for that moment: the audio
// thread only ever tries the guard and plays silence for a block it cannot take.
// Every process call runs with flush-to-zero (ScopedFlushToZero), restoring the host's mode on return.
#pragma once

#include "realtime/audio_guard.h"
#include "realtime/flush_to_zero.h"
#include "realtime/triple_buffer.h"
