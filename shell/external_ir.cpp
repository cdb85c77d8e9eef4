// External impulse responses: loading one from a WAV file into the current program, and bringing a
// program's stored responses to the host rate when a program is applied or the rate changes.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "cabinet/ir_file.h"
#include "cabinet/prepare_ir_spectrum.h"
#include "cabinet/resample_ir.h"
#include "gui/file_selector.h"
#include "shell/tavik.h"
#include "vst/value_format.h"

namespace tavik {

namespace {

double* storedSamples(ProgramRecord& r, int c) noexcept { return c == 0 ? r.ir1Samples : r.ir2Samples; }
double* storedSpectrum(ProgramRecord& r, int c) noexcept { return c == 0 ? r.ir1Spectrum : r.ir2Spectrum; }
int32_t& storedLength(ProgramRecord& r, int c) noexcept { return c == 0 ? r.ir1Length : r.ir2Length; }
char* storedName(ProgramRecord& r, int c) noexcept { return c == 0 ? r.ir1Name : r.ir2Name; }

// Whether every value is a number of at most `limit` in magnitude. Stored samples come from the host's
// project file and may be damaged; values beyond the limit would overflow the transforms.
bool allWithin(const double* v, int count, double limit) noexcept {
    for (int i = 0; i < count; ++i)
        if (!(std::fabs(v[i]) <= limit)) return false;
    return true;
}

// Samples of any real impulse response are far below this; the transform of larger ones could overflow.
constexpr double kSampleLimit = 1e12;

void fillText(char* dest, size_t size, const char* text) noexcept {
    std::strncpy(dest, text, size - 1);
    dest[size - 1] = '\0';
}

}  // namespace

void Tavik::convertStoredIr(ProgramRecord& record, int c, double rate) {
    const int n = cabinet_.fftSize();
    const double from = record.irRate;
    const int length = std::clamp<int32_t>(storedLength(record, c), 0, kIrCapacity);
    double* samples = storedSamples(record, c);
    std::vector<double> converted;
    // Damaged samples, or a rate that is not one, leave nothing worth keeping.
    if (std::isfinite(from) && from > 0.0 && allWithin(samples, length, kSampleLimit)) {
        converted = cabinet::resample_ir(samples, length, rate, from, n / 2);
        if (!allWithin(converted.data(), static_cast<int>(converted.size()), kSampleLimit)) converted.clear();
        if (length >= 2) {
            const auto limit = static_cast<size_t>(std::min(cabinet::resampled_length(length, rate, from), n / 2));
            if (converted.size() > limit) converted.resize(limit);
        }
    }
    std::vector<double> spectrum;
    cabinet_.prepareSpectrum(converted.data(), static_cast<int>(converted.size()), cabinet::HighBandRule::Above11k,
                             spectrum);
    std::fill(samples, samples + kIrCapacity, 0.0);
    std::copy(converted.begin(), converted.end(), samples);
    storedLength(record, c) = static_cast<int32_t>(converted.size());
    std::copy(spectrum.begin(), spectrum.end(), storedSpectrum(record, c));
}

void Tavik::restoreExternalIrs() {
    const int n = cabinet_.fftSize();
    if (n == 0) return;
    ProgramRecord& record = bank_[currentProgram_];
    const double host = sampleRate_;
    const double rate = record.irRate;
    const bool rateUsable = std::isfinite(rate) && rate > 0.0;
    if (rateUsable && rate / host != 1.0) {
        convertStoredIr(record, 0, host);
        convertStoredIr(record, 1, host);
        record.irRate = static_cast<float>(host);
    }
    const std::vector<double> silence(static_cast<size_t>(n), 0.0);
    for (int c = 0; c < 2; ++c) {
        const double* stored = storedSpectrum(record, c);
        const bool prepared = rateUsable && cabinet::is_prepared_spectrum(stored, n);
        // A cabinet set to an external response with none loaded plays nothing.
        const bool playable = rateUsable && std::strcmp(storedName(record, c), "Empty") != 0;
        cabinet_.setExternal(c, prepared ? stored : silence.data(), playable);
    }
}

namespace {

// Reads the chosen file as a response for the host rate and prepares its spectrum; touches no plug-in state.
// False with a reason for the user when the file cannot be used.
bool readAndPrepare(const std::string& path, double rate, int n, int c, cabinet::RealFftPair& ffts,
                    std::vector<double>& kept, std::vector<double>& spectrum, std::string& reason) {
    double fileRate = 0.0;
    if (!cabinet::read_external_ir(path.c_str(), rate, n, kept, fileRate, &reason)) {
        if (reason.empty()) reason = "not a usable WAV file";
        return false;
    }
    cabinet::RealFft* fft = ffts.pick(n);
    if (fft == nullptr) {
        reason = "no cabinet at this rate";
        return false;
    }
    const auto rule = c == 0 ? cabinet::HighBandRule::From10kCab1 : cabinet::HighBandRule::Above10kCab2;
    cabinet::prepare_response_spectrum(*fft, kept.data(), static_cast<int>(kept.size()), rate, rule, spectrum);
    return true;
}

}  // namespace

void Tavik::loadExternalIr(int c) {
    // The file selector's own event loop may call us again; one load at a time.
    if (loading_.exchange(true)) return;
    struct Done {
        std::atomic<bool>& flag;
        ~Done() { flag.store(false); }
    } done{loading_};
    {
        std::lock_guard<std::mutex> lock(writer_);
        if (cabinet_.fftSize() == 0) return;  // before the host has set a rate there is no cabinet to load into
    }

    vst::VstFileType wave{};
    fillText(wave.name, sizeof(wave.name), "Wave File");
    fillText(wave.macType, sizeof(wave.macType), "WAVE");
    fillText(wave.dosType, sizeof(wave.dosType), "wav");
    fillText(wave.unixType, sizeof(wave.unixType), "wav");
    fillText(wave.mimeType1, sizeof(wave.mimeType1), "audio/wav");
    fillText(wave.mimeType2, sizeof(wave.mimeType2), "audio/x-wav");
    vst::VstFileSelect request{};
    request.command = vst::kVstFileLoad;
    request.type = vst::kVstFileType;
    fillText(request.title, sizeof(request.title), "Test for open file selector");
    request.nbFileTypes = 1;
    request.fileTypes = &wave;
    char path[1024] = {};
    request.returnPath = path;
    request.sizeReturnPath = sizeof(path);
    // The host window cannot be disabled around the dialog on this platform; the dialog is modal anyway.
    // Nothing is held while it is open: the user may take minutes, and the host keeps calling us meanwhile.
    std::string chosen;
    {
        CFileSelector selector(this);
        if (!selector.run(&request)) return;
        chosen.assign(path, strnlen(path, sizeof(path)));
    }
    readChosenIr(c, chosen);
}

bool Tavik::loadIrFile(int cabinet, const std::string& path) {
    if (cabinet < 0 || cabinet > 1 || path.empty()) return false;
    if (loading_.exchange(true)) return false;
    struct Done {
        std::atomic<bool>& flag;
        ~Done() { flag.store(false); }
    } done{loading_};
    return readChosenIr(cabinet, path);
}

bool Tavik::readChosenIr(int c, const std::string& chosen) {
    const size_t slash = chosen.find_last_of('/');
    const std::string base = slash == std::string::npos ? chosen : chosen.substr(slash + 1);

    // The file is read and prepared without holding writer_ (a file can take long to open or read, and program,
    // chunk and rate calls must not wait for it); writer_ is taken only to publish. A rate that changed
    // meanwhile makes the prepared response useless: it is read again for the new one.
    bool loaded = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        double rate = 0.0;
        int n = 0;
        {
            std::lock_guard<std::mutex> lock(writer_);
            rate = sampleRate_;
            n = cabinet_.fftSize();
        }
        if (n == 0) return false;
        std::vector<double> kept;
        std::vector<double> spectrum;
        std::string reason;
        // A bad file leaves the cabinet, the program's stored response and its name as they were.
        if (!readAndPrepare(chosen, rate, n, c, *loadFfts_, kept, spectrum, reason)) {
            showIrMessage(c, "cannot read " + base + ": " + reason);
            if (editor_) editor_->setParameter(kIrSource1 + c, live(kIrSource1 + c));
            return false;
        }

        std::lock_guard<std::mutex> lock(writer_);
        if (static_cast<double>(sampleRate_) != rate || cabinet_.fftSize() != n) continue;
        ProgramRecord& record = bank_[currentProgram_];
        // One rate describes both cabinets' stored samples: the other cabinet's come to the host rate too.
        if (static_cast<double>(record.irRate) != static_cast<double>(sampleRate_))
            convertStoredIr(record, 1 - c, sampleRate_);
        record.irRate = sampleRate_;
        double* samples = storedSamples(record, c);
        std::fill(samples, samples + kIrCapacity, 0.0);
        std::copy(kept.begin(), kept.end(), samples);
        storedLength(record, c) = static_cast<int32_t>(kept.size());
        std::copy(spectrum.begin(), spectrum.end(), storedSpectrum(record, c));

        setIrName(c, base.c_str());
        vst::copyText(storedName(record, c), base.c_str(), kNameField - 1);
        // A cabinet playing its external response changes kernel at the next block, its tail cleared.
        cabinet_.setExternal(c, spectrum.data(), true);
        loaded = true;
        break;
    }
    // An open editor shows the new name. Only the editor is told: the switch itself is as it was, and this thread
    // must not write a program record that a program switch on another thread may be replaying.
    if (editor_) editor_->setParameter(kIrSource1 + c, live(kIrSource1 + c));
    return loaded;
}

}  // namespace tavik
