// Every build must reproduce the reference renders in tests/data/reference (made by
// make_reference_renders.sh there) within a stated tolerance, and the references themselves must show
// the amp doing its work: finite, not silent, different for each channel and quality.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "host/audio_file.h"
#include "run_vsthost.h"

namespace {

// A render may differ from its reference by at most this much in any sample (about -74 dBFS), and by a
// tenth of it as a root mean square: enough for another compiler's last bits, far too little for any
// change of the sound.
constexpr double kMaxDifference = 2e-4;
constexpr double kRmsDifference = 2e-5;

const std::string kReference = REFERENCE_DIR;

struct Case {
    std::string name, plugin, input;
    std::vector<std::string> options;
};

std::vector<Case> cases() {
    std::vector<Case> out;
    std::ifstream file(kReference + "/cases.txt");
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        Case c;
        words >> c.name >> c.plugin >> c.input;
        for (std::string w; words >> w;) c.options.push_back(w);
        out.push_back(c);
    }
    return out;
}

std::vector<float> readAll(const std::string& path, int& channels) {
    vsthost::AudioReader reader(path);
    channels = reader.channels();
    std::vector<float> data(static_cast<size_t>(reader.frames() * reader.channels()));
    reader.read(data.data(), reader.frames());
    return data;
}

std::vector<float> reference(const std::string& name) {
    int channels = 0;
    return readAll(kReference + "/" + name + ".wav", channels);
}

TEST(ReferenceRenders, CurrentBuildReproducesEveryReference) {
    const auto all = cases();
    ASSERT_EQ(all.size(), 24u);
    TempDir dir;
    for (const Case& c : all) {
        std::vector<std::string> args = {"render", c.plugin == "fullstack" ? FULLSTACK_PATH : PREAMP_PATH,
                                         kReference + "/" + c.input, dir / (c.name + ".wav"), "--quiet"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        RunResult run = runVsthost(args, dir);
        ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
        int channels = 0;
        const auto now = readAll(dir / (c.name + ".wav"), channels);
        const auto then = reference(c.name);
        ASSERT_EQ(now.size(), then.size()) << c.name;
        double worst = 0, sum = 0;
        for (size_t i = 0; i < now.size(); ++i) {
            double d = std::fabs(double(now[i]) - double(then[i]));
            worst = std::max(worst, d);
            sum += d * d;
        }
        EXPECT_LE(worst, kMaxDifference) << c.name;
        EXPECT_LE(std::sqrt(sum / static_cast<double>(now.size())), kRmsDifference) << c.name;
    }
}

double rms(const std::vector<float>& v, int channel = -1) {
    double sum = 0;
    size_t count = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        if (channel >= 0 && static_cast<int>(i % 2) != channel) continue;
        sum += double(v[i]) * v[i];
        ++count;
    }
    return std::sqrt(sum / static_cast<double>(count));
}

double difference(const std::vector<float>& a, const std::vector<float>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return std::sqrt(sum / static_cast<double>(a.size()));
}

TEST(ReferenceRenders, ChannelsAndQualitiesSoundDifferent) {
    std::map<std::string, std::vector<float>> r;
    for (const Case& c : cases()) {
        r[c.name] = reference(c.name);
        for (float s : r[c.name]) ASSERT_TRUE(std::isfinite(s)) << c.name;
        EXPECT_GT(rms(r[c.name]), 1e-3) << c.name << " is silent";
    }
    for (std::string rate : {"44100", "96000"}) {
        for (std::string q : {"lowq", "highq"}) {
            auto clean = r["full-clean-" + q + "-" + rate], crunch = r["full-crunch-" + q + "-" + rate],
                 overdrive = r["full-overdrive-" + q + "-" + rate];
            EXPECT_GT(difference(clean, crunch), 0.1 * rms(clean)) << q << rate;
            EXPECT_GT(difference(crunch, overdrive), 0.1 * rms(crunch)) << q << rate;
        }
        for (std::string ch : {"clean", "crunch", "overdrive"})
            EXPECT_GT(difference(r["full-" + ch + "-lowq-" + rate], r["full-" + ch + "-highq-" + rate]), 1e-5)
                << ch << rate;
    }
    for (std::string ch : {"clean", "crunch", "overdrive"}) {
        const auto& mono = r["pre-" + ch + "-mono-lowq"];
        for (size_t i = 0; i + 1 < mono.size(); i += 2) ASSERT_EQ(mono[i], mono[i + 1]) << ch << " mono frame " << i / 2;
        const auto& stereo = r["pre-" + ch + "-stereo-lowq"];
        EXPECT_GT(std::fabs(rms(stereo, 0) - rms(stereo, 1)), 1e-3) << ch << ": the right input has its own path";
        EXPECT_GT(difference(r["pre-" + ch + "-mono-lowq"], r["pre-" + ch + "-mono-highq"]), 1e-5) << ch;
    }
    EXPECT_GT(difference(r["pre-clean-mono-lowq"], r["pre-crunch-mono-lowq"]), 0.1 * rms(r["pre-clean-mono-lowq"]));
}

}  // namespace
