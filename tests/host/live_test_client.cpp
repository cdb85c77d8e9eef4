// The other side of `vsthost live` in its tests: writes a guitar-like signal, plays it into the live
// client while recording what comes back (and sends MIDI), and compares a recording with a render.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "host/audio_file.h"
#include "host/guitar_riff.h"

namespace {

std::vector<float> readAll(const std::string& path, int& channels) {
    vsthost::AudioReader reader(path);
    channels = reader.channels();
    std::vector<float> samples(static_cast<std::size_t>(reader.frames() * channels));
    reader.read(samples.data(), reader.frames());
    return samples;
}

struct Rig {
    std::vector<float> signal;
    std::vector<float> recorded;  // interleaved stereo
    jack_port_t* play = nullptr;
    jack_port_t* midi = nullptr;
    jack_port_t* rec[2] = {};
    std::atomic<int> warmup{40};       // cycles before the signal starts, once connected
    std::atomic<bool> connected{false};
    std::atomic<jack_nframes_t> start{0};
    std::atomic<bool> playing{false};
    std::size_t played = 0, kept = 0;
    std::atomic<bool> midiSent{false};
    std::atomic<bool> done{false};
};

}  // namespace

// One client holding both sides would put the live client in a loop (one cycle late); two clients keep
// the graph player -> live -> recorder inside one cycle.
int play(const std::string& target, const std::string& inPath, const std::string& outPath) {
    Rig rig;
    int channels = 0;
    rig.signal = readAll(inPath, channels);
    rig.recorded.assign(rig.signal.size() * 2, 0.0f);
    jack_status_t status{};
    jack_client_t* player = jack_client_open("live_test_play", JackNoStartServer, &status);
    jack_client_t* recorder = jack_client_open("live_test_rec", JackNoStartServer, &status);
    if (!player || !recorder) {
        std::fprintf(stderr, "live_test_client: no JACK server\n");
        return 1;
    }
    rig.play = jack_port_register(player, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    rig.midi = jack_port_register(player, "midi", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    rig.rec[0] = jack_port_register(recorder, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    rig.rec[1] = jack_port_register(recorder, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    struct Side { jack_client_t* client; Rig* rig; };
    static Side playSide, recSide;
    playSide = {player, &rig};
    recSide = {recorder, &rig};
    jack_set_process_callback(player, [](jack_nframes_t frames, void* arg) -> int {
        auto& side = *static_cast<Side*>(arg);
        Rig& r = *side.rig;
        auto* out = static_cast<float*>(jack_port_get_buffer(r.play, frames));
        void* midi = jack_port_get_buffer(r.midi, frames);
        jack_midi_clear_buffer(midi);
        std::fill(out, out + frames, 0.0f);
        if (!r.connected.load()) return 0;
        if (!r.playing.load()) {
            if (r.warmup.fetch_sub(1) > 0) return 0;
            r.start.store(jack_last_frame_time(side.client));
            r.playing.store(true);
        }
        const std::size_t n = std::min<std::size_t>(frames, r.signal.size() - r.played);
        std::copy(r.signal.begin() + static_cast<std::ptrdiff_t>(r.played),
                  r.signal.begin() + static_cast<std::ptrdiff_t>(r.played + n), out);
        r.played += n;
        if (r.played == r.signal.size() && r.kept == r.signal.size() && !r.midiSent.load()) {
            const unsigned char program[2] = {0xC0, 3};
            const unsigned char controller[3] = {0xB0, 7, 64};
            jack_midi_event_write(midi, 0, program, 2);
            jack_midi_event_write(midi, 1, controller, 3);
            r.midiSent.store(true);
        }
        return 0;
    }, &playSide);
    jack_set_process_callback(recorder, [](jack_nframes_t frames, void* arg) -> int {
        auto& side = *static_cast<Side*>(arg);
        Rig& r = *side.rig;
        if (!r.playing.load() || jack_last_frame_time(side.client) < r.start.load()) return 0;
        const auto* a = static_cast<const float*>(jack_port_get_buffer(r.rec[0], frames));
        const auto* b = static_cast<const float*>(jack_port_get_buffer(r.rec[1], frames));
        const std::size_t n = std::min<std::size_t>(frames, r.signal.size() - r.kept);
        for (std::size_t i = 0; i < n; ++i) {
            r.recorded[2 * (r.kept + i)] = a[i];
            r.recorded[2 * (r.kept + i) + 1] = b[i];
        }
        r.kept += n;
        if (r.midiSent.load()) r.done.store(true);
        return 0;
    }, &recSide);
    jack_activate(player);
    jack_activate(recorder);
    int failures = 0;
    failures += jack_connect(player, "live_test_play:out", (target + ":in_1").c_str()) != 0;
    failures += jack_connect(player, "live_test_play:midi", (target + ":midi_in").c_str()) != 0;
    failures += jack_connect(recorder, (target + ":out_1").c_str(), "live_test_rec:in_1") != 0;
    failures += jack_connect(recorder, (target + ":out_2").c_str(), "live_test_rec:in_2") != 0;
    if (failures) {
        std::fprintf(stderr, "live_test_client: cannot connect to %s\n", target.c_str());
        return 1;
    }
    rig.connected.store(true);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (!rig.done.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the MIDI cycle reaches the live client
    jack_client_close(player);
    jack_client_close(recorder);
    if (!rig.done.load()) {
        std::fprintf(stderr, "live_test_client: timed out after %zu of %zu frames\n", rig.kept, rig.signal.size());
        return 1;
    }
    vsthost::AudioWriter writer(outPath, 2, 48000);
    writer.write(rig.recorded.data(), static_cast<int64_t>(rig.signal.size()));
    writer.close();
    return 0;
}

// Cycle by cycle: how many recorded cycles match a cycle of the render within `tolerance`, at the
// same place or up to three cycles off. When the loaded dummy server misses a deadline (an xrun) the
// live client may miss a cycle of input or of output, and the rest of the recording moves by a whole
// cycle (the cycles around the jump differ); so most cycles, not all, must match.
int compare(const std::string& recordedPath, const std::string& renderedPath, int cycle, double tolerance) {
    int rc = 0, cc = 0;
    const auto rec = readAll(recordedPath, rc);
    const auto ren = readAll(renderedPath, cc);
    if (rc != 2 || cc != 2 || cycle < 1) {
        std::fprintf(stderr, "expected two channels in both files\n");
        return 1;
    }
    const auto frames = static_cast<long>(std::min(rec.size(), ren.size()) / 2);
    const long step = cycle;
    long cycles = 0, matching = 0, moved = 0;
    double worstMatching = 0.0;
    for (long first = 0; first + step <= frames; first += step, ++cycles) {
        for (long k : {0L, -1L, 1L, -2L, 2L, -3L, 3L}) {
            const long from = first - k * step;
            if (from < 0 || from + step > frames) continue;
            double worst = 0.0;
            for (long i = 0; i < step && worst <= tolerance; ++i)
                for (long c = 0; c < 2; ++c)
                    worst = std::max(worst, std::fabs(double(rec[2 * (first + i) + c]) - double(ren[2 * (from + i) + c])));
            if (worst <= tolerance) {
                ++matching;
                moved += k != 0;
                worstMatching = std::max(worstMatching, worst);
                break;
            }
        }
    }
    std::printf("%ld of %ld cycles match the render within %g (%ld of them moved by xruns; largest difference "
                "%.3g)\n", matching, cycles, tolerance, moved, worstMatching);
    return cycles > 0 && matching * 10 >= cycles * 8 ? 0 : 1;
}

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0] == "signal") {
            const auto riff = vsthost::guitarRiff(48000.0, 4.0);
            vsthost::AudioWriter writer(args[1], 1, 48000);
            writer.write(riff.data(), static_cast<int64_t>(riff.size()));
            writer.close();
            return 0;
        }
        if (args.size() == 4 && args[0] == "play") return play(args[1], args[2], args[3]);
        if (args.size() == 5 && args[0] == "compare")
            return compare(args[1], args[2], std::stoi(args[3]), std::stod(args[4]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "live_test_client: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: live_test_client signal OUT.wav | play CLIENT IN.wav REC.wav | compare REC REN CYCLE TOL\n");
    return 2;
}
