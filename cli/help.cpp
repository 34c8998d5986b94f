#include "cli/help.h"

#include <string>

#include "sound/player.h"
#include "walk/walk.h"

namespace ezg::cli {
namespace {

const std::vector<OptionHelp> kBatchOptions = {
    {"-j, --jobs N", "work on N files at once (default: one per core); the output is the same as with one"},
    {"-q, --quiet", "print only errors and warnings"},
    {"-h, --help", "show this help and exit"},
};

// The units the split silences: in split --help and in the main help.
constexpr const char* kSplitUnits =
    "--by packet, the default (ezgitar-cli split song.mid), is the window's byte rule: each pitch bend on\n"
    "channel 1 opens a packet, and the note-on and note-off bytes after it are silenced pair by pair; on\n"
    "makam files every packet holds one note, so the copies sound every other note. Every other byte stays\n"
    "as it was.\n"
    "\n"
    "--by note reads the file as MIDI events and counts the notes of every track and channel in time order\n"
    "(by tick, then track, then file order): ezgitar-cli split --by note song.mid sounds notes 1, 3, 5, ...\n"
    "in song_13.mid.\n"
    "\n"
    "--by bar does the same by bars, from the time signatures (4/4 without one); a note belongs to the\n"
    "bar it starts in: ezgitar-cli split --by bar song.mid plays one bar and rests one bar.\n"
    "\n"
    "By note and by bar a note is silenced by velocity 0 on its note-on and its note-off, and no other\n"
    "byte changes, so no copy can be damaged. A track whose events go on after the file's last chunk,\n"
    "past an early end-of-track, is made whole in both copies.\n"
    "\n"
    "--tempo scales every tempo (or puts one in at the start) so that both copies play slower or faster.";

// What the split is made for and what its warnings mean: in split --help
// and in the main help, which makes the manual.
constexpr const char* kSplitFits =
    "The split by packet is made for files with a pitch bend on channel 1 before each note and no running\n"
    "status, as in makam collections; it reads each file as MIDI events and prints what the copies hold.";
constexpr const char* kSplitWarnings =
    "A warning on stderr (FILE: message, exit status 1, the copies still written) says where the split\n"
    "did not do that: both copies equal the input, and why; a copy changed a byte that is no velocity\n"
    "of a note on channel 1; a 0xE0 that is no pitch bend opened a packet; or bytes after the last track\n"
    "chunk took part. Positions count from 1.";

std::vector<OptionHelp> withBatch(std::vector<OptionHelp> own) {
  own.insert(own.end(), kBatchOptions.begin(), kBatchOptions.end());
  return own;
}

}  // namespace

const std::vector<CommandHelp>& commandHelps() {
  static const std::vector<CommandHelp> helps = {
      {"split", "[OPTIONS] FILE|FOLDER...", "write <name>_13.mid and <name>_24.mid for each file",
       "Writes two practice copies of each MIDI file in which units of the piece are silenced alternately:\n"
       "<name>_13.mid keeps units 1, 3, 5, ... sounding, <name>_24.mid units 2, 4, 6, ...\n"
       "\n" + std::string(kSplitUnits) + "\n"
       "\n" + kSplitFits + "\n" + kSplitWarnings + "\n"
       "For example:\n"
       "  song.mid: 482 pitch bends, 482 notes; song_13.mid silences 241 notes, song_24.mid 241\n"
       "  song.mid: 326 notes in 82 bars; song_13.mid sounds bars 1, 3 … 81 (164 notes), song_24.mid bars 2, 4 … 82\n"
       "  (162 notes); tempo 75 %",
       withBatch({{"-o, --output DIR", "write the copies into DIR instead of next to each input"},
                  {"--by packet|note|bar", "the unit silenced alternately (default: packet, the window's byte rule)"},
                  {"--every N", "with --by note or bar: N units sounding, then N silent (default 1)"},
                  {"--tempo PERCENT", "both copies at PERCENT of the speed, 10 to 400 (default: as written)"}}),
       {{"ezgitar-cli split song.mid", "writes song_13.mid and song_24.mid next to song.mid"},
        {"ezgitar-cli split --by note song.mid", "every other note: song_13.mid plays notes 1, 3, 5, ..."},
        {"ezgitar-cli split --by bar --tempo 75 song.mid", "play one bar, rest one bar, at three quarters of the speed"},
        {"ezgitar-cli split --by bar --every 2 song.mid", "two bars sounding, two bars silent"},
        {"ezgitar-cli split -o practice ~/makam", "splits every .mid file of ~/makam into the folder practice"},
        {"ezgitar-cli split -q ~/makam", "prints only the files the split does not fit"}}},
      {"report", "[OPTIONS] FILE|FOLDER...", "write the byte-by-byte report <name>.txt for each file",
       std::string("Writes <name>.txt, a byte-by-byte report of the file: the header chunk, the head of the track and\n"
                   "every following byte with its position, hexadecimal, decimal and character views, and what the\n"
                   "notes, pitch bends, delta times and system bytes mean. The text is in the Turkish code page\n"
                   "Windows-1254 with CR LF line ends. Delta times too long for the walk are reported as warnings\n"
                   "\"FILE:POSITION: ") +
           kTickWarningText + "\" on stderr.",
       withBatch({{"-o, --output DIR", "write the reports into DIR instead of next to each input"},
                  {"--decimal-separator C", "the decimal separator of the cents (default: the user's locale)"}}),
       {{"ezgitar-cli report song.mid", "writes song.txt next to song.mid"},
        {"ezgitar-cli report --decimal-separator , -o reports *.mid", "Turkish-style cents, into reports/"}}},
      {"test", "[OPTIONS] FILE|FOLDER...", "warn about oversized delta times, writing nothing",
       "Walks each file as the report does, writes nothing, and prints one line per delta time that is too\n"
       "long: FILE:POSITION: followed by the warning, where POSITION is the 1-based position of the note's\n"
       "status byte. Exit status 1 when any file warns.",
       kBatchOptions,
       {{"ezgitar-cli test song.mid", "prints the warnings of song.mid, if any"},
        {"ezgitar-cli test -q ~/makam && echo clean", "checks a whole folder"}}},
      {"render", "[OPTIONS] FILE|FOLDER...", "write <name>.wav (44.1 kHz, 16-bit stereo) for each file",
       std::string("Plays each file through a General MIDI synthesizer as fast as it goes and writes the sound to\n"
                   "<name>.wav. Every channel's pitch bends sound at their ticks, with the bend range that RPN 0 sets,\n"
                   "so the makam's intervals sound as the file writes them. The SoundFont is --soundfont, else the one\n"
                   "the environment variable ") +
           sound::kSoundFontVariable + " names, else " + sound::kSystemSoundFont + " (Debian's timgm6mb-soundfont).\nNot available on Windows.",
       withBatch({{"-o, --output DIR", "write the WAV files into DIR instead of next to each input"},
                  {"--soundfont PATH", "the .sf2 or .sf3 file to play with"}}),
       {{"ezgitar-cli render song_13.mid", "writes song_13.wav next to song_13.mid"},
        {"ezgitar-cli render -o sound ~/makam", "every .mid file of ~/makam, into the folder sound"}}},
      {"play", "[OPTIONS] FILE", "play one file on the audio output",
       std::string("Plays the file on the default audio output, with its pitch bends as render has them, until its\n"
                   "end or Ctrl+C, which stops the sound at once. The SoundFont is chosen as for render. On Windows\n"
                   "the system's own MIDI synthesizer plays it, with its own sounds. Exit status 2 when there is no\n"
                   "audio output."),
       {{"--soundfont PATH", "the .sf2 or .sf3 file to play with"},
        {"-q, --quiet", "print only errors"},
        {"-h, --help", "show this help and exit"}},
       {{"ezgitar-cli play song_13.mid", "plays the practice copy"}}},
  };
  return helps;
}

const CommandHelp* findCommandHelp(const std::string& name) {
  for (const CommandHelp& h : commandHelps())
    if (name == h.name) return &h;
  return nullptr;
}

void printMainHelp(std::FILE* to) {
  std::fprintf(to,
               "Usage: ezgitar-cli COMMAND [OPTIONS] FILE|FOLDER...\n"
               "  or:  ezgitar-cli COMMAND --help\n"
               "  or:  ezgitar-cli --help | --version\n"
               "\n"
               "Works on Standard MIDI Files the way the Ezgitar window does, for many files at once.\n"
               "A folder stands for its .mid files.\n"
               "\n"
               "Commands:\n");
  for (const CommandHelp& c : commandHelps()) std::fprintf(to, "  %-8s %s\n", c.name, c.summary);
  std::fprintf(to, "\nSplit:\n%s\n\n%s\n%s\n", kSplitUnits, kSplitFits, kSplitWarnings);
  std::fprintf(to,
               "\n"
               "Options:\n"
               "  -h, --help     show this help and exit\n"
               "  -V, --version  show the version and exit\n");
  // Every command's options too, so that this one text makes the manual.
  for (const CommandHelp& c : commandHelps()) {
    std::fprintf(to, "\nOptions of %s (ezgitar-cli %s %s):\n", c.name, c.name, c.synopsis);
    for (const OptionHelp& o : c.options) std::fprintf(to, "  %-24s %s\n", o.flags, o.text);
  }
  std::fprintf(to,
               "\n"
               "Exit status: 0 success, 1 warnings found, 2 usage error or a file failed.\n");
}

void printCommandHelp(const CommandHelp& help, std::FILE* to) {
  std::fprintf(to, "Usage: ezgitar-cli %s %s\n\n%s\n\nOptions:\n", help.name, help.synopsis, help.description.c_str());
  for (const OptionHelp& o : help.options) std::fprintf(to, "  %-24s %s\n", o.flags, o.text);
  std::fprintf(to, "\nExamples:\n");
  for (const ExampleHelp& e : help.examples) std::fprintf(to, "  %s\n      %s\n", e.command, e.text);
  std::fprintf(to, "\nExit status: 0 success, 1 warnings found, 2 usage error or a file failed.\n");
}

}  // namespace ezg::cli
