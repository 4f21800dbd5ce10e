// qvr-demo-disc: writes a cue/bin demo disc of five short synthesized pieces (with CD-Text titles
// in the cue sheet), so that the player can be tried on a machine without a CD drive, and the
// disc's database entry in qvrdb's JSON form, so that `qvrdb import` can register its titles.
// Usage: qvr-demo-disc FOLDER  (writes FOLDER/QvrDemo.cue, FOLDER/QvrDemo.bin, FOLDER/QvrDemo.json)
//        qvr-demo-disc --help | --version  (print, write nothing)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/Version.h"
#include "cdda/CDDA.h"
#include "cdda/DiscToc.h"
#include "cdda/MediaIdentity.h"
#include "util/AtomicFile.h"

namespace {

constexpr double kRate = 44100.0;
constexpr double kPi = std::numbers::pi;

// A stereo buffer of one piece, mixed in floating point.
struct Piece {
  std::vector<float> left, right;
  explicit Piece(double seconds)
      : left(static_cast<std::size_t>(seconds * kRate)), right(static_cast<std::size_t>(seconds * kRate)) {}
  std::size_t Size() const { return left.size(); }
  // Adds a mono voice at `start` seconds, placed by `pan` (-1 left .. 1 right).
  void Add(const std::vector<float>& voice, double start, double pan, float gain) {
    auto at = static_cast<std::size_t>(start * kRate);
    float l = gain * static_cast<float>(std::sqrt((1 - pan) / 2)),
          r = gain * static_cast<float>(std::sqrt((1 + pan) / 2));
    for (std::size_t n = 0; n < voice.size() && at + n < Size(); ++n) {
      left[at + n] += voice[n] * l;
      right[at + n] += voice[n] * r;
    }
  }
};

double Frequency(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// A plucked string (Karplus-Strong).
std::vector<float> Pluck(int midi, double seconds, unsigned seed) {
  auto period = static_cast<std::size_t>(kRate / Frequency(midi));
  std::vector<float> ring(period), out(static_cast<std::size_t>(seconds * kRate));
  for (float& x : ring) {
    seed = seed * 1103515245u + 12345u;
    x = static_cast<float>((seed >> 16) & 0x7FFF) / 16384.0f - 1.0f;
  }
  for (std::size_t n = 0; n < out.size(); ++n) {
    std::size_t i = n % period, j = (n + 1) % period;
    out[n] = ring[i];
    ring[i] = 0.996f * 0.5f * (ring[i] + ring[j]);
  }
  return out;
}

// A bell: two-operator FM with a decaying index.
std::vector<float> Bell(int midi, double seconds) {
  std::vector<float> out(static_cast<std::size_t>(seconds * kRate));
  double f = Frequency(midi);
  for (std::size_t n = 0; n < out.size(); ++n) {
    double t = n / kRate, decay = std::exp(-t * 2.5);
    double modulator = 3.0 * decay * std::sin(2 * kPi * f * 1.4 * t);
    out[n] = static_cast<float>(decay * std::sin(2 * kPi * f * t + modulator) * std::min(1.0, t * 200));
  }
  return out;
}

// A soft pad: a few detuned partials with slow attack and release and a gentle vibrato.
std::vector<float> Pad(int midi, double seconds) {
  std::vector<float> out(static_cast<std::size_t>(seconds * kRate));
  double f = Frequency(midi);
  for (std::size_t n = 0; n < out.size(); ++n) {
    double t = n / kRate;
    double envelope = std::min({1.0, t / 0.8, (seconds - t) / 1.0});
    double vibrato = 1 + 0.003 * std::sin(2 * kPi * 5 * t);
    double sum = 0;
    for (int h = 1; h <= 5; ++h) {
      sum += std::sin(2 * kPi * f * h * vibrato * t * (1 + 0.002 * h)) / (h * h);
    }
    out[n] = static_cast<float>(envelope * sum);
  }
  return out;
}

// A music-box tine: a triangle wave with a quick decay.
std::vector<float> MusicBox(int midi, double seconds) {
  std::vector<float> out(static_cast<std::size_t>(seconds * kRate));
  double f = Frequency(midi) * 2;
  for (std::size_t n = 0; n < out.size(); ++n) {
    double t = n / kRate, phase = std::fmod(f * t, 1.0);
    double triangle = 4 * std::abs(phase - 0.5) - 1;
    out[n] = static_cast<float>(triangle * std::exp(-t * 4) * std::min(1.0, t * 500));
  }
  return out;
}

// A kick drum and a bass note.
std::vector<float> Kick() {
  std::vector<float> out(static_cast<std::size_t>(0.35 * kRate));
  double phase = 0;
  for (std::size_t n = 0; n < out.size(); ++n) {
    double t = n / kRate;
    phase += 2 * kPi * (50 + 120 * std::exp(-t * 30)) / kRate;
    out[n] = static_cast<float>(std::sin(phase) * std::exp(-t * 9));
  }
  return out;
}

std::vector<float> Bass(int midi, double seconds) {
  std::vector<float> out(static_cast<std::size_t>(seconds * kRate));
  double f = Frequency(midi);
  for (std::size_t n = 0; n < out.size(); ++n) {
    double t = n / kRate;
    double envelope = std::min(1.0, t * 100) * std::exp(-t * 3);
    out[n] = static_cast<float>(envelope * (std::sin(2 * kPi * f * t) + 0.3 * std::sin(4 * kPi * f * t)));
  }
  return out;
}

// 1: morning arpeggios, plucked, C - Am - F - G, 8th notes at 120 bpm.
Piece MorningArpeggios() {
  Piece piece(12.0);
  const int chords[4][4] = {{60, 64, 67, 72}, {57, 60, 64, 69}, {53, 57, 60, 65}, {55, 59, 62, 67}};
  for (int bar = 0; bar < 6; ++bar) {
    for (int step = 0; step < 8; ++step) {
      int note = chords[bar % 4][step < 4 ? step : 7 - step];
      piece.Add(Pluck(note, 1.5, 7u + bar * 8 + step), bar * 2.0 + step * 0.25, step % 2 ? 0.4 : -0.4, 0.35f);
    }
    piece.Add(Pluck(chords[bar % 4][0] - 12, 2.0, 99u + bar), bar * 2.0, 0, 0.4f);
  }
  return piece;
}

// 2: evening pad, slow minor chords.
Piece EveningPad() {
  Piece piece(16.0);
  const int chords[4][3] = {{57, 60, 64}, {53, 57, 60}, {48, 52, 55}, {52, 55, 59}};
  for (int n = 0; n < 4; ++n) {
    for (int k = 0; k < 3; ++k) piece.Add(Pad(chords[n][k], 4.6), n * 4.0, (k - 1) * 0.5, 0.22f);
  }
  return piece;
}

// 3: bells on a pentatonic melody.
Piece PentatonicBells() {
  Piece piece(14.0);
  const int melody[] = {72, 74, 76, 79, 81, 79, 76, 74, 72, 76, 79, 84, 81, 79, 76, 72, 74, 72, 69, 72};
  for (int n = 0; n < 20; ++n) piece.Add(Bell(melody[n], 2.5), n * 0.6, std::sin(n * 0.9) * 0.6, 0.3f);
  return piece;
}

// 4: a little groove: kick, bass line and plucked off-beats at 100 bpm.
Piece LittleGroove() {
  Piece piece(16.0);
  const double beat = 0.6;
  const int bass[] = {45, 45, 48, 50, 43, 43, 47, 50};
  for (int n = 0; n < 26; ++n) {
    piece.Add(Kick(), n * beat, 0, 0.6f);
    piece.Add(Bass(bass[n % 8], beat), n * beat, 0, 0.35f);
    piece.Add(Pluck(bass[n % 8] + 24, 0.5, 300u + n), n * beat + beat / 2, n % 2 ? 0.6 : -0.6, 0.25f);
  }
  return piece;
}

// 5: a music-box lullaby in 3/4 with an echo.
Piece Lullaby() {
  Piece piece(18.0);
  const int melody[] = {76, 74, 72, 74, 76, 76, 76, 0,  74, 74, 74, 0,  76, 79, 79, 0,
                        76, 74, 72, 74, 76, 76, 76, 76, 74, 74, 76, 74, 72, 0,  0,  0};
  for (int n = 0; n < 32; ++n) {
    if (melody[n] == 0) continue;
    piece.Add(MusicBox(melody[n], 1.5), 0.5 + n * 0.5, -0.3, 0.35f);
    piece.Add(MusicBox(melody[n], 1.5), 0.5 + n * 0.5 + 0.375, 0.5, 0.12f);  // echo
  }
  return piece;
}

// Normalizes a piece to a comfortable level and appends it as 16-bit little-endian samples,
// padded with silence to whole sectors.
void AppendSectors(const Piece& piece, std::string& bin) {
  float peak = 1e-6f;
  for (std::size_t n = 0; n < piece.Size(); ++n)
    peak = std::max({peak, std::abs(piece.left[n]), std::abs(piece.right[n])});
  float scale = 0.7f * 32767.0f / peak;
  constexpr std::size_t kPerSector = qvr::kSamplesPerSector / 2;  // stereo sample frames in a sector
  std::size_t frames = (piece.Size() + kPerSector - 1) / kPerSector * kPerSector;
  for (std::size_t n = 0; n < frames; ++n) {
    for (const auto* channel : {&piece.left, &piece.right}) {
      float value = n < piece.Size() ? (*channel)[n] * scale : 0.0f;
      // A short fade at both ends keeps the starts and ends free of clicks.
      double edge = std::min({1.0, n / 441.0, (piece.Size() - std::min(n, piece.Size())) / 441.0});
      auto sample = static_cast<std::int16_t>(std::lround(value * edge));
      bin += static_cast<char>(sample & 0xFF);
      bin += static_cast<char>((sample >> 8) & 0xFF);
    }
  }
}

std::string Msf(std::size_t sectors) {
  char text[40];
  std::snprintf(text, sizeof text, "%02zu:%02zu:%02zu", sectors / 4500, sectors / 75 % 60, sectors % 75);
  return text;
}

}  // namespace

constexpr const char* kUsage =
    "使い方: qvr-demo-disc [--] 出力フォルダ\n"
    "デモディスク (QvrDemo.cue, QvrDemo.bin) とそのデータベース登録用の QvrDemo.json を\n"
    "出力フォルダに書き出します。\n"
    "  -h, --help     この説明を表示して終了します\n"
    "  -V, --version  バージョンを表示して終了します\n";

int main(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (argc == 2 && (first == "-h" || first == "--help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && (first == "-V" || first == "--version")) {
    std::printf("qvr-demo-disc (%s) %s\n", qvr::kProductName, qvr::kVersionNumber);
    return 0;
  }
  // "--" lets a folder whose name starts with "-" through; any other such argument is an option
  // this program does not know, never a folder to write into.
  const int at = first == "--" ? 2 : 1;
  if (argc != at + 1 || (at == 1 && first.size() > 1 && first[0] == '-')) {
    if (at == 1 && first.size() > 1 && first[0] == '-')
      std::fprintf(stderr, "qvr-demo-disc: 不明なオプションです: %s\n", argv[1]);
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::filesystem::path folder = argv[at];
  struct Track {
    const char* title;
    Piece (*make)();
  };
  const Track tracks[] = {{"Morning Arpeggios", MorningArpeggios},
                          {"Evening Pad", EveningPad},
                          {"Pentatonic Bells", PentatonicBells},
                          {"Little Groove", LittleGroove},
                          {"Music Box Lullaby", Lullaby}};
  try {
    std::filesystem::create_directories(folder);
    std::string bin;
    std::string cue =
        "REM COMMENT \"QVR demo disc, synthesized by qvr-demo-disc\"\nPERFORMER \"QVR\"\nTITLE \"QVR Demo Disc\"\n"
        "FILE \"QvrDemo.bin\" BINARY\n";
    qvr::DiscToc toc;
    int number = 1;
    for (const Track& track : tracks) {
      toc.Tracks.push_back({static_cast<std::uint32_t>(qvr::kLeadInFrames + bin.size() / qvr::kSectorBytes), true});
      char header[32];
      std::snprintf(header, sizeof header, "  TRACK %02d AUDIO\n", number++);
      cue += header;
      cue += std::string("    TITLE \"") + track.title + "\"\n    PERFORMER \"QVR\"\n";
      cue += "    INDEX 01 " + Msf(bin.size() / qvr::kSectorBytes) + "\n";
      AppendSectors(track.make(), bin);
    }
    toc.LeadOut = static_cast<std::uint32_t>(qvr::kLeadInFrames + bin.size() / qvr::kSectorBytes);
    qvr::ReplaceFileContents(folder / "QvrDemo.bin", bin);
    qvr::ReplaceFileContents(folder / "QvrDemo.cue", cue);

    // The disc as the player's device layer reports it, with the titles of the cue sheet.
    nlohmann::ordered_json disc;
    disc["DiscKey"] = qvr::MediaIDFromText(qvr::MediaIdentityText(toc)).Str();
    disc["TrackCount"] = toc.TrackCount();
    disc["DiscTime"] = toc.DiscLengthReply(qvr::TimeFormat::MSF);
    disc["DiscName"] = "QVR Demo Disc";
    disc["ArtistName"] = "QVR";
    disc["SaleDate"] = "2026-12-01";
    disc["LabelName"] = "QVR";
    disc["DiscType"] = 2;
    disc["JacketFile"] = "";
    disc["LyricsFile"] = "";
    disc["Tracks"] = nlohmann::ordered_json::array();
    for (std::uint32_t n = 1; n <= toc.TrackCount(); ++n) {
      disc["Tracks"].push_back({{"TrackNo", n},
                                {"StartPos", toc.TrackPositionReply(qvr::TimeFormat::MSF, n)},
                                {"Length", toc.TrackLengthReply(qvr::TimeFormat::MSF, n)},
                                {"TrackName", tracks[n - 1].title},
                                {"Lyricsby", ""},
                                {"Musicby", "qvr-demo-disc"},
                                {"Arrangeby", ""},
                                {"Genre", "Demo"}});
    }
    nlohmann::ordered_json document;
    document["discs"] = nlohmann::ordered_json::array({disc});
    qvr::ReplaceFileContents(folder / "QvrDemo.json", document.dump(2) + "\n");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "qvr-demo-disc: %s\n", error.what());
    return 1;
  }
  return 0;
}
