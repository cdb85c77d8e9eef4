// WavReader and reading an external impulse response from a file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cabinet/ir_file.h"
#include "cabinet/resample_ir.h"
#include "cabinet/wav_reader.h"

namespace cabinet {
namespace {

using Bytes = std::vector<unsigned char>;

void put16(Bytes& b, std::uint32_t v)
{
    b.push_back(static_cast<unsigned char>(v & 0xFF));
    b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void put32(Bytes& b, std::uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

void putTag(Bytes& b, const char* id)
{
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(id[i]));
}

void putChunk(Bytes& b, const char* id, const Bytes& body)
{
    putTag(b, id);
    put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2) b.push_back(0);  // pad byte
}

struct WavLayout {
    int tag = 1;
    int channels = 1;
    std::uint32_t rate = 44100;
    int bits = 16;
    int extensibleSubtag = 0;   // nonzero: write WAVE_FORMAT_EXTENSIBLE with this subformat
    Bytes before;               // chunks between "fmt " and "data"
    std::uint32_t dataSizeOverride = 0;
};

Bytes wav(const WavLayout& s, const Bytes& data)
{
    Bytes fmt;
    const bool ext = s.extensibleSubtag != 0;
    put16(fmt, ext ? 0xFFFE : static_cast<std::uint32_t>(s.tag));
    put16(fmt, static_cast<std::uint32_t>(s.channels));
    put32(fmt, s.rate);
    put32(fmt, s.rate * static_cast<std::uint32_t>(s.channels * s.bits / 8));
    put16(fmt, static_cast<std::uint32_t>(s.channels * s.bits / 8));
    put16(fmt, static_cast<std::uint32_t>(s.bits));
    if (ext) {
        put16(fmt, 22);
        put16(fmt, static_cast<std::uint32_t>(s.bits));
        put32(fmt, 0);
        put16(fmt, static_cast<std::uint32_t>(s.extensibleSubtag));
        const unsigned char guidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                            0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        fmt.insert(fmt.end(), guidTail, guidTail + 14);
    }
    Bytes body;
    putTag(body, "WAVE");
    putChunk(body, "fmt ", fmt);
    body.insert(body.end(), s.before.begin(), s.before.end());
    putTag(body, "data");
    put32(body, s.dataSizeOverride ? s.dataSizeOverride : static_cast<std::uint32_t>(data.size()));
    body.insert(body.end(), data.begin(), data.end());
    Bytes file;
    putTag(file, "RIFF");
    put32(file, static_cast<std::uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

Bytes pcm16(const std::vector<int>& values)
{
    Bytes b;
    for (int v : values) put16(b, static_cast<std::uint32_t>(v) & 0xFFFF);
    return b;
}

bool parse(WavReader& r, const Bytes& b) { return r.read_from_memory(b.data(), b.size()); }

TEST(WavReader, DecodesEveryDepth)
{
    WavReader r;
    WavLayout s;
    s.bits = 8;
    ASSERT_TRUE(parse(r, wav(s, {0, 128, 255, 192})));
    EXPECT_EQ(r.samples(), (std::vector<double>{-1.0, 0.0, 127.0 / 128.0, 0.5}));

    s.bits = 16;
    ASSERT_TRUE(parse(r, wav(s, pcm16({-32768, 16384, 32767, -1}))));
    EXPECT_EQ(r.samples(), (std::vector<double>{-1.0, 0.5, 32767.0 / 32768.0, -1.0 / 32768.0}));

    s.bits = 24;
    ASSERT_TRUE(parse(r, wav(s, {0x00, 0x00, 0x80, 0x00, 0x00, 0x40, 0xFF, 0xFF, 0xFF})));
    EXPECT_EQ(r.samples(), (std::vector<double>{-1.0, 0.5, -1.0 / 8388608.0}));

    s.bits = 32;  // integer PCM
    Bytes i32;
    put32(i32, 0x80000000u);
    put32(i32, 0x40000000u);
    ASSERT_TRUE(parse(r, wav(s, i32)));
    EXPECT_EQ(r.samples(), (std::vector<double>{-1.0, 0.5}));

    Bytes f32;
    for (float f : {0.25f, -1.5f}) {
        std::uint32_t raw;
        std::memcpy(&raw, &f, 4);
        put32(f32, raw);
    }
    s.tag = 3;
    ASSERT_TRUE(parse(r, wav(s, f32)));
    EXPECT_EQ(r.samples(), (std::vector<double>{0.25, -1.5}));
    s.tag = 1;
    s.extensibleSubtag = 3;
    ASSERT_TRUE(parse(r, wav(s, f32)));
    EXPECT_EQ(r.samples(), (std::vector<double>{0.25, -1.5}));
    s.extensibleSubtag = 1;
    ASSERT_TRUE(parse(r, wav(s, i32)));
    EXPECT_EQ(r.samples(), (std::vector<double>{-1.0, 0.5}));
}

TEST(WavReader, HeaderFieldsChunksAndReadingPastTheEnd)
{
    WavReader r;
    WavLayout s;
    s.channels = 2;
    s.rate = 48000;
    Bytes list;
    putChunk(list, "LIST", Bytes(5, 'x'));  // odd size, followed by a pad byte
    putChunk(list, "bext", Bytes(12, 'y'));
    s.before = list;
    ASSERT_TRUE(parse(r, wav(s, pcm16({100, 200, 300, 400, 500}))));
    EXPECT_EQ(r.channels(), 2);
    EXPECT_EQ(r.sample_rate(), 48000.0);
    EXPECT_EQ(r.bits_per_sample(), 16);
    EXPECT_EQ(r.count(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(r.next_sample(), (i + 1) * 100 / 32768.0);
    EXPECT_FALSE(r.overrun());
    EXPECT_EQ(r.next_sample(), 0.0);
    EXPECT_TRUE(r.overrun());
    EXPECT_EQ(r.position(), 5);

    WavReader empty;
    EXPECT_EQ(empty.next_sample(), 0.0);
    EXPECT_TRUE(empty.overrun());
}

TEST(WavReader, MalformedFilesAreNotValid)
{
    const Bytes data = pcm16({1000, 2000, 3000, 4000});
    const Bytes good = wav(WavLayout{}, data);
    struct Case {
        const char* what;
        Bytes bytes;
    };
    std::vector<Case> cases;
    auto patched = [&](std::size_t at, std::vector<unsigned char> v) {
        Bytes b = good;
        std::copy(v.begin(), v.end(), b.begin() + static_cast<long>(at));
        return b;
    };
    cases.push_back({"short header", Bytes(good.begin(), good.begin() + 30)});
    cases.push_back({"not RIFF", patched(0, {'R', 'I', 'F', 'X'})});
    cases.push_back({"not WAVE", patched(8, {'W', 'A', 'V', 'X'})});
    cases.push_back({"no fmt first", patched(12, {'f', 'm', 'x'})});
    cases.push_back({"12 bits", patched(34, {12, 0})});
    cases.push_back({"zero channels", patched(22, {0, 0})});
    cases.push_back({"zero rate", patched(24, {0, 0, 0, 0})});
    cases.push_back({"fmt shorter than 16", patched(16, {14, 0, 0, 0})});
    cases.push_back({"fmt longer than the file", patched(16, {0xF0, 0xFF, 0xFF, 0x7F})});
    WavLayout longData;
    longData.dataSizeOverride = 10;
    cases.push_back({"data longer than the file", wav(longData, data)});
    WavLayout hugeChunk;
    putTag(hugeChunk.before, "junk");
    put32(hugeChunk.before, 0xFFFFFFF0u);
    cases.push_back({"chunk past the end", wav(hugeChunk, data)});
    Bytes noData(good.begin(), good.begin() + 36);  // header and fmt chunk only
    putChunk(noData, "LIST", Bytes(4, 'z'));
    cases.push_back({"no data chunk", noData});
    WavLayout nanFloat;
    nanFloat.tag = 3;
    nanFloat.bits = 32;
    Bytes nan;
    put32(nan, 0x7FC00000u);
    cases.push_back({"NaN sample", wav(nanFloat, nan)});
    WavLayout shortExt;
    shortExt.tag = 0xFFFE;
    cases.push_back({"extensible without subformat", wav(shortExt, data)});

    for (const Case& c : cases) {
        WavReader r;
        EXPECT_FALSE(parse(r, c.bytes)) << c.what;
        EXPECT_FALSE(r.valid()) << c.what;
        EXPECT_EQ(r.count(), 0) << c.what;
    }
    WavReader r;
    EXPECT_TRUE(parse(r, good)) << "the unpatched file";
}

class ExternalIr : public ::testing::Test {
protected:
    std::filesystem::path dir;

    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("tavik_cabinet_test_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string write(const char* name, const Bytes& bytes)
    {
        const std::string path = (dir / name).string();
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    }
};

// A 16-bit response whose magnitude first exceeds 0.01 at frame `onset`; frame k holds value 1000 + k.
std::vector<int> ramp(int frames, int onset)
{
    std::vector<int> v(static_cast<std::size_t>(frames));
    for (int k = 0; k < frames; ++k) v[static_cast<std::size_t>(k)] = k < onset ? 300 : 1000 + k % 20000;
    return v;
}

TEST_F(ExternalIr, KeepsHalfTheTransformFromTheFirstAudibleFrame)
{
    const std::string path = write("ir.wav", wav(WavLayout{}, pcm16(ramp(5000, 100))));
    std::vector<double> kept;
    double rate = 0.0;
    ASSERT_TRUE(read_external_ir(path.c_str(), 44100.0, 2048, kept, rate));
    EXPECT_EQ(rate, 44100.0);
    ASSERT_EQ(kept.size(), 1024u);
    EXPECT_EQ(kept.front(), (1000 + 100) / 32768.0);
    EXPECT_EQ(kept.back(), (1000 + 1123) / 32768.0);

    // Shorter than N/2: everything from the onset to the end.
    const std::string shortPath = write("short.wav", wav(WavLayout{}, pcm16(ramp(600, 50))));
    ASSERT_TRUE(read_external_ir(shortPath.c_str(), 44100.0, 2048, kept, rate));
    EXPECT_EQ(kept.size(), 550u);
}

TEST_F(ExternalIr, StereoUsesTheLeftChannelAndOtherRatesAreResampled)
{
    WavLayout stereo;
    stereo.channels = 2;
    std::vector<int> frames;
    for (int k = 0; k < 3000; ++k) {
        frames.push_back(k < 10 ? 0 : 2000);  // left
        frames.push_back(-30000);             // right, loud from the start
    }
    std::vector<double> kept;
    double rate = 0.0;
    ASSERT_TRUE(read_external_ir(write("st.wav", wav(stereo, pcm16(frames))).c_str(), 44100.0, 2048, kept, rate));
    ASSERT_EQ(kept.size(), 1024u);
    EXPECT_EQ(kept[0], 2000 / 32768.0);

    WavLayout at48k;
    at48k.rate = 48000;
    ASSERT_TRUE(read_external_ir(write("48k.wav", wav(at48k, pcm16(ramp(5000, 0)))).c_str(), 44100.0, 2048, kept,
                                 rate));
    EXPECT_EQ(rate, 48000.0);
    EXPECT_EQ(kept.size(), 1024u);  // n/2 at the host rate, from about 1115 frames at 48 kHz
    at48k.rate = 96000;
    ASSERT_TRUE(read_external_ir(write("96k.wav", wav(at48k, pcm16(ramp(400, 0)))).c_str(), 44100.0, 2048, kept,
                                 rate));
    EXPECT_EQ(kept.size(), 184u);  // ceil(399 / 96000 * 44100)
}

TEST_F(ExternalIr, DegenerateAndBadFiles)
{
    std::vector<double> kept;
    double rate = 0.0;
    WavLayout at48k;
    at48k.rate = 48000;
    // A single audible sample is used as it is.
    ASSERT_TRUE(read_external_ir(write("one.wav", wav(at48k, pcm16({0, 0, 20000}))).c_str(), 44100.0, 2048, kept,
                                 rate));
    EXPECT_EQ(kept, std::vector<double>{20000 / 32768.0});
    // All within 0.01: read, nothing kept.
    ASSERT_TRUE(read_external_ir(write("quiet.wav", wav(WavLayout{}, pcm16({100, -100, 300}))).c_str(), 44100.0,
                                 2048, kept, rate));
    EXPECT_TRUE(kept.empty());

    EXPECT_FALSE(read_external_ir(write("empty.wav", wav(WavLayout{}, {})).c_str(), 44100.0, 2048, kept, rate));
    EXPECT_FALSE(read_external_ir((dir / "missing.wav").string().c_str(), 44100.0, 2048, kept, rate));
    EXPECT_FALSE(read_external_ir(write("junk.wav", Bytes(100, 'x')).c_str(), 44100.0, 2048, kept, rate));
    EXPECT_FALSE(read_external_ir(write("ok.wav", wav(WavLayout{}, pcm16({9000}))).c_str(), 0.0, 2048, kept, rate));
    EXPECT_TRUE(kept.empty());
}


// A format chunk's body: 16 bytes, or 40 for WAVE_FORMAT_EXTENSIBLE with the given subformat.
Bytes fmtBody(int tag, int bits, int subtag = 0)
{
    WavLayout s;
    s.tag = tag;
    s.bits = bits;
    s.extensibleSubtag = subtag;
    const Bytes file = wav(s, {});
    return Bytes(file.begin() + 20, file.begin() + 20 + (subtag ? 40 : 16));
}

Bytes riff(const char* magic, const std::vector<Bytes>& chunks)
{
    Bytes file;
    putTag(file, magic);
    put32(file, 0xFFFFFFFFu);  // readers go by the file's size
    putTag(file, "WAVE");
    for (const Bytes& c : chunks) file.insert(file.end(), c.begin(), c.end());
    return file;
}

Bytes chunk(const char* id, const Bytes& body)
{
    Bytes b;
    putChunk(b, id, body);
    return b;
}

TEST_F(ExternalIr, EveryFormOfOneResponseReadsAsTheSameSamples)
{
    const std::vector<int> values = {0, 16384, -8192, 32767, -32768, 3};
    std::vector<double> expected;
    Bytes f32, f64;
    for (int v : values) {
        const double d = v / 32768.0;
        expected.push_back(d);
        const float f = static_cast<float>(d);
        std::uint32_t r32;
        std::uint64_t r64;
        std::memcpy(&r32, &f, 4);
        std::memcpy(&r64, &d, 8);
        put32(f32, r32);
        put32(f64, static_cast<std::uint32_t>(r64));
        put32(f64, static_cast<std::uint32_t>(r64 >> 32));
    }
    const Bytes pcm = pcm16(values);
    const Bytes fmt = chunk("fmt ", fmtBody(1, 16));
    const Bytes data = chunk("data", pcm);
    Bytes ds64(28, 0);  // 64-bit RIFF size, data size, sample count, empty table
    ds64[8] = static_cast<unsigned char>(pcm.size());
    Bytes rf64Data;
    putTag(rf64Data, "data");
    put32(rf64Data, 0xFFFFFFFFu);
    rf64Data.insert(rf64Data.end(), pcm.begin(), pcm.end());
    const struct {
        const char* form;
        Bytes bytes;
    } forms[] = {
        {"plain", riff("RIFF", {fmt, data})},
        {"JUNK first", riff("RIFF", {chunk("JUNK", Bytes(28, 0)), fmt, data})},
        {"bext first", riff("RIFF", {chunk("bext", Bytes(602, 'b')), fmt, data})},
        {"LIST first", riff("RIFF", {chunk("LIST", Bytes(26, 'l')), fmt, data})},
        {"odd chunk first", riff("RIFF", {chunk("iXML", Bytes(7, 'x')), fmt, chunk("PAD ", Bytes(3, 0)), data})},
        {"data before fmt", riff("RIFF", {data, fmt})},
        {"float32", riff("RIFF", {chunk("fmt ", fmtBody(3, 32)), chunk("fact", Bytes(4, 0)), chunk("data", f32)})},
        {"float64", riff("RIFF", {chunk("fmt ", fmtBody(3, 64)), chunk("data", f64)})},
        {"extensible", riff("RIFF", {chunk("fmt ", fmtBody(1, 16, 1)), data})},
        {"RF64", riff("RF64", {chunk("ds64", ds64), chunk("bext", Bytes(10, 'b')), fmt, rf64Data})},
    };
    for (const auto& f : forms) {
        WavReader r;
        EXPECT_TRUE(r.read(write("form.wav", f.bytes).c_str())) << f.form << ": " << r.error();
        EXPECT_EQ(r.samples(), expected) << f.form;
        EXPECT_EQ(r.sample_rate(), 44100.0) << f.form;
    }
}

TEST_F(ExternalIr, RefusalsSayWhyAndNeverBlock)
{
    WavLayout twelve;
    twelve.bits = 12;
    WavLayout adpcm;
    adpcm.tag = 2;
    const std::string fifo = (dir / "cab.wav").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = (dir / "huge.wav").string();
    const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(::ftruncate(fd, 300 << 20), 0);  // sparse: reading it would take seconds
    ::close(fd);

    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {write("12.wav", wav(twelve, pcm16({9000, 9000}))), "12-bit samples"},
        {write("adpcm.wav", wav(adpcm, pcm16({9000, 9000}))), "compressed format 2"},
        {write("nodata.wav", riff("RIFF", {chunk("fmt ", fmtBody(1, 16))})), "no data chunk"},
        {write("empty.wav", wav(WavLayout{}, {})), "no samples"},
        {fifo, "not a regular file"},
        {dir.string(), "a folder, not a file"},
        {huge, "too large (300 MB)"},
        {(dir / "missing.wav").string(), "cannot open: No such file or directory"},
    };
    for (const auto& c : cases) {
        std::vector<double> kept;
        double rate = 0.0;
        std::string reason;
        auto done = std::async(std::launch::async,
                               [&] { return read_external_ir(c.path.c_str(), 44100.0, 2048, kept, rate, &reason); });
        if (done.wait_for(std::chrono::seconds(1)) != std::future_status::ready) {
            ADD_FAILURE() << c.path << " blocked";
            ::close(::open(c.path.c_str(), O_WRONLY | O_NONBLOCK));  // a writer releases a reader stuck on a FIFO
        }
        EXPECT_FALSE(done.get()) << c.path;
        EXPECT_EQ(reason, c.reason) << c.path;
    }
}

TEST_F(ExternalIr, HighRateResponsesKeepHalfTheTransformAtTheHostRate)
{
    const std::vector<int> frames = ramp(6000, 50);
    std::vector<double> file;
    for (std::size_t k = 50; k < frames.size(); ++k) file.push_back(frames[k] / 32768.0);
    for (const std::uint32_t fileRate : {96000u, 192000u}) {
        WavLayout s;
        s.rate = fileRate;
        std::vector<double> kept;
        double rate = 0.0;
        ASSERT_TRUE(read_external_ir(write("high.wav", wav(s, pcm16(frames))).c_str(), 44100.0, 2048, kept, rate));
        ASSERT_EQ(kept.size(), 1024u) << fileRate;
        // The same samples as from the whole file: enough was read for every kept one.
        const std::vector<double> whole =
            resample_ir(file.data(), static_cast<int>(file.size()), 44100.0, fileRate, 1024);
        EXPECT_EQ(kept, whole) << fileRate;
    }
}

}  // namespace
}  // namespace cabinet
