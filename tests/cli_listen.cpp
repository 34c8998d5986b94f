// ezgitar-cli render and play as a user runs them: the WAV written, the
// silenced notes of a practice copy silent in it, and playing to its end.
#include <filesystem>

#include "sound/player.h"
#include "sound/timeline.h"
#include "tests/support/cli.h"
#include "tests/support/pitch.h"

namespace ezg::testing {
namespace {

bool haveSoundFont() { return !sound::canRender({}).has_value(); }

// Eight notes of a second each, one after the other, on changing keys.
Bytes eightNotes() {
  std::vector<build::Note> notes;
  for (std::uint8_t key : {69, 71, 72, 74, 76, 74, 72, 71}) notes.push_back({key, 96, 0x2000, 960, 0});
  return build::makeMidi(notes);
}

using Render = Cli;

// The WAV of a piece, and of its copy _13, which silences every other pair
// of notes: a silenced note is below -60 dB of full scale from 0.6 s into
// it, once the note before it has rung out (near -99 dB, the dither's
// noise); a sounding one above -50 dB over its first half second.
TEST_F(Render, WritesAWavOfTheFilesLengthIntoTheFolderAskedAndTheCopysSilencedNotesAreSilent) {
  if (!haveSoundFont()) GTEST_SKIP() << "no SoundFont: tools/install-deps installs timgm6mb-soundfont";
  dir.write("şarkı.mid", eightNotes());
  ASSERT_EQ(cli("split -q şarkı.mid").status, 0);
  std::filesystem::create_directory(dir / "ses");
  const CommandResult r = cli("render -o ses şarkı.mid şarkı_13.mid");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "şarkı.mid -> ses/şarkı.wav\nşarkı_13.mid -> ses/şarkı_13.wav\n");
  EXPECT_EQ(dir.names("ses"), (std::vector<std::string>{"şarkı.wav", "şarkı_13.wav"}));
  const std::string wav = dir.read("ses/şarkı.wav");
  ASSERT_GE(wav.size(), 44u);
  // RIFF, PCM, 2 channels, 44,100 frames of 4 bytes a second, 16 bits.
  EXPECT_EQ(wav.substr(0, 4) + wav.substr(8, 8), "RIFFWAVEfmt ");
  EXPECT_EQ(wav.substr(20, 16), std::string("\x01\x00\x02\x00\x44\xAC\x00\x00\x10\xB1\x02\x00\x04\x00\x10\x00", 16));
  const double seconds = static_cast<double>(wav.size() - 44) / (4 * kRate);
  EXPECT_GT(seconds, 8.5);   // the notes and their release
  EXPECT_LT(seconds, 19.0);  // not more than the longest ringing allowed

  const std::vector<double> sound = monoSamples(dir.read("ses/şarkı_13.wav"));
  const std::string copy = dir.read("şarkı_13.mid");
  const sound::Timeline timeline =
      sound::timelineOf(std::span(reinterpret_cast<const std::uint8_t*>(copy.data()), copy.size()));
  int silenced = 0, sounding = 0;
  for (const sound::TimedMessage& m : timeline.messages) {
    if (m.status != 0x90) continue;
    const double start = static_cast<double>(m.at) / 1e9;
    if (m.data2 > 0) {
      ++sounding;
      EXPECT_GT(loudness(sound, start, start + 0.5), -50) << "the note at " << start << " s sounds";
      continue;
    }
    ++silenced;
    EXPECT_LT(loudness(sound, start + 0.6, start + 1.0), -60) << "the silenced note at " << start << " s";
  }
  EXPECT_EQ(silenced, 4);
  EXPECT_EQ(sounding, 4);
}

TEST_F(Render, AMissingSoundFontIsSaidOnceAndNothingIsWritten) {
  dir.write("a.mid", eightNotes());
  dir.write("b.mid", eightNotes());
  const CommandResult r = cli("render --soundfont yok.sf2 a.mid b.mid");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(oneLine(r)) << r.err;
  EXPECT_NE(r.err.find("no SoundFont at yok.sf2"), std::string::npos) << r.err;
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.mid", "b.mid"}));
  const CommandResult env = cli("render a.mid", "EZGITAR_SOUNDFONT=" + q("bozuk.sf2") + " ");
  EXPECT_NE(env.err.find("bozuk.sf2"), std::string::npos) << env.err;
}

using Play = Cli;

// The sound goes to a file at the pace of a device, where no device need be.
TEST_F(Play, PlaysToTheEndAtThePaceOfTheMusicAndTakesOneFile) {
  if (!haveSoundFont()) GTEST_SKIP() << "no SoundFont: tools/install-deps installs timgm6mb-soundfont";
  dir.write("kısa.mid", build::makeMidi({{69, 96, 0x2000, 480, 0}}));  // half a second
  const auto before = std::chrono::steady_clock::now();
  const CommandResult r = cli("play kısa.mid", "EZGITAR_AUDIO_FILE=" + q("ses.raw") + " ");
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "Playing kısa.mid; Ctrl+C stops.\n");
  EXPECT_GT(took, 0.5);
  const std::vector<double> sound =
      monoSamples(std::string(44, '\0').replace(0, 4, "RIFF").replace(36, 4, "data") + dir.read("ses.raw"));
  EXPECT_GT(static_cast<double>(sound.size()) / kRate, 0.5);
  EXPECT_GT(loudness(sound, 0, 0.5), -50);
  const CommandResult two = cli("play kısa.mid kısa.mid");
  EXPECT_EQ(two.status, 2);
  EXPECT_TRUE(oneLine(two));
}

TEST_F(Play, WithoutAnAudioDeviceSaysSoWithStatusTwo) {
  if (!haveSoundFont()) GTEST_SKIP() << "no SoundFont: tools/install-deps installs timgm6mb-soundfont";
  dir.write("kısa.mid", build::makeMidi({{69, 96, 0x2000, 48, 0}}));
  const CommandResult r = cli("play -q kısa.mid");
  if (r.status == 0) GTEST_SKIP() << "this machine has an audio device";
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "ezgitar-cli: kısa.mid: no audio output could be opened\n");
}

}  // namespace
}  // namespace ezg::testing
