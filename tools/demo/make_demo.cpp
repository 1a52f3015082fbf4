// Build step: the demo folder the README's first start opens. WAVE files in
// the encodings a desktop meets (8, 16 and 24-bit PCM, float, mu-law, A-law,
// IMA and Microsoft ADPCM), a sub-folder, a file the list leaves out, and
// ZIP and tar.gz archives of small WAVE files. The members are also left in
// a second folder for the packers that only exist as programs.
//
//   make_demo DEMO_FOLDER MEMBERS_FOLDER
#include <archive.h>
#include <archive_entry.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A struck bell: inharmonic partials, each dying away at its own rate.
std::vector<float> bell(double pitch, double seconds, int rate, double gain = 0.5)
{
    struct Partial {
        double ratio, level, decay;
    };
    static const Partial partials[] = {{0.5, 0.35, 1.2}, {1.0, 1.0, 2.0},   {1.19, 0.45, 2.8}, {1.56, 0.35, 3.5},
                                       {2.0, 0.5, 4.5},  {2.74, 0.25, 6.0}, {3.76, 0.12, 8.0}};
    const auto frames = static_cast<size_t>(seconds * rate);
    std::vector<float> out(frames);
    double peak = 0;
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        double v = 0;
        for (const Partial& p : partials)
            v += p.level * std::exp(-p.decay * t) * std::sin(2 * std::numbers::pi * pitch * p.ratio * t);
        const double attack = std::min(1.0, t * 400);  // no click at the start
        out[i] = static_cast<float>(v * attack);
        peak = std::max(peak, std::abs(v));
    }
    for (float& s : out)
        s = static_cast<float>(s / peak * gain);
    return out;
}

std::vector<float> mix(std::vector<float> a, const std::vector<float>& b, size_t offset)
{
    if (a.size() < offset + b.size())
        a.resize(offset + b.size());
    for (size_t i = 0; i < b.size(); ++i)
        a[offset + i] += b[i];
    return a;
}

// Mono sound, written to `channels` channels (the right one a little later,
// so stereo is heard as stereo).
bool writeWave(const fs::path& path, const std::vector<float>& sound, int rate, int format, int channels = 1)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::cerr << "make_demo: " << path << ": " << sf_strerror(nullptr) << '\n';
        return false;
    }
    const size_t delay = channels == 2 ? static_cast<size_t>(rate / 100) : 0;
    std::vector<float> frames;
    frames.reserve(sound.size() * channels);
    for (size_t i = 0; i < sound.size(); ++i) {
        frames.push_back(sound[i]);
        if (channels == 2)
            frames.push_back(i >= delay ? sound[i - delay] * 0.8f : 0.0f);
    }
    const auto written = sf_writef_float(file, frames.data(), static_cast<sf_count_t>(sound.size()));
    sf_close(file);
    return written == static_cast<sf_count_t>(sound.size());
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeArchive(const fs::path& path, const fs::path& folder, const std::vector<std::string>& members, bool zip)
{
    archive* a = archive_write_new();
    if (zip) {
        archive_write_set_format_zip(a);
    } else {
        archive_write_set_format_pax_restricted(a);
        archive_write_add_filter_gzip(a);
    }
    bool ok = archive_write_open_filename(a, path.c_str()) == ARCHIVE_OK;
    for (const std::string& name : members) {
        if (!ok)
            break;
        const std::string data = readFile(folder / name);
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, name.c_str());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(data.size()));
        archive_entry_set_mtime(entry, 992146508, 0);  // a fixed time keeps the build reproducible
        ok = archive_write_header(a, entry) == ARCHIVE_OK &&
             archive_write_data(a, data.data(), data.size()) == static_cast<la_ssize_t>(data.size());
        archive_entry_free(entry);
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    if (!ok)
        std::cerr << "make_demo: " << path << ": " << archive_error_string(a) << '\n';
    archive_write_free(a);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: make_demo DEMO_FOLDER MEMBERS_FOLDER\n";
        return 2;
    }
    const fs::path demo = fs::path(argv[1]), members = fs::path(argv[2]);
    fs::create_directories(demo / "小川");
    fs::create_directories(members / "waves");

    const std::vector<float> high = bell(1320, 1.0, 22050), low = bell(440, 1.2, 22050);
    bool ok = true;
    ok &= writeWave(demo / "鈴の音.wav", bell(880, 1.5, 44100), 44100, SF_FORMAT_PCM_16, 2);
    ok &= writeWave(demo / "chime-8bit.wav", mix(bell(1047, 1.0, 11025), bell(1319, 0.8, 11025), 2756), 11025,
                    SF_FORMAT_PCM_U8);
    ok &= writeWave(demo / "tide-24bit.wav", bell(196, 1.5, 48000, 0.7), 48000, SF_FORMAT_PCM_24);
    ok &= writeWave(demo / "float-stereo.wav",
                    mix(mix(bell(523, 1.2, 44100), bell(659, 1.0, 44100), 6615), bell(784, 0.9, 44100), 13230), 44100,
                    SF_FORMAT_FLOAT, 2);
    ok &= writeWave(demo / "mu-law.wav", bell(740, 1.0, 8000), 8000, SF_FORMAT_ULAW);
    ok &= writeWave(demo / "a-law.wav", bell(587, 1.0, 8000), 8000, SF_FORMAT_ALAW);
    ok &= writeWave(demo / "ima-adpcm.wav", bell(988, 1.0, 22050), 22050, SF_FORMAT_IMA_ADPCM);
    ok &= writeWave(demo / "ms-adpcm.wav", bell(330, 1.2, 22050), 22050, SF_FORMAT_MS_ADPCM);
    ok &= writeWave(demo / "小川" / "せせらぎ.wav", bell(1568, 0.8, 22050, 0.4), 22050, SF_FORMAT_PCM_16);
    std::ofstream(demo / "メモ.txt") << "WAVE ファイルと書庫だけが一覧に出ます。\n";

    ok &= writeWave(members / "bell-high.wav", high, 22050, SF_FORMAT_PCM_16);
    ok &= writeWave(members / "bell-low.wav", low, 22050, SF_FORMAT_PCM_16);
    ok &= writeWave(members / "waves" / "chord.wav", mix(high, low, 0), 22050, SF_FORMAT_PCM_16);
    const std::vector<std::string> names = {"bell-high.wav", "bell-low.wav", "waves/chord.wav"};
    ok &= writeArchive(demo / "sounds.zip", members, names, true);
    ok &= writeArchive(demo / "sounds.tgz", members, names, false);
    return ok ? 0 : 1;
}
