#include "cli/help.h"

#include <string>

#include <fmt/format.h>

#include "cli/language.h"
#include "sound/player.h"
#include "walk/walk.h"

namespace ezg::cli {
namespace {

const std::vector<OptionHelp> kBatchOptions = {
    {N_("-j, --jobs N"), N_("work on N files at once (default: one per core); the output is the same as with one")},
    {N_("-q, --quiet"), N_("print only errors and warnings")},
    {N_("-h, --help"), N_("show this help and exit")},
};

// The units the split silences: in split --help and in the main help.
const char* const kSplitUnits[] = {
    N_("--by packet, the default (ezgitar-cli split song.mid), is the window's byte rule: each pitch bend on\n"
       "channel 1 opens a packet, and the note-on and note-off bytes after it are silenced pair by pair; on\n"
       "makam files every packet holds one note, so the copies sound every other note. Every other byte stays\n"
       "as it was."),
    N_("--by note reads the file as MIDI events and counts the notes of every track and channel in time order\n"
       "(by tick, then track, then file order): ezgitar-cli split --by note song.mid sounds notes 1, 3, 5, ...\n"
       "in song_13.mid."),
    N_("--by bar does the same by bars, from the time signatures (4/4 without one); a note belongs to the\n"
       "bar it starts in: ezgitar-cli split --by bar song.mid plays one bar and rests one bar."),
    N_("By note and by bar a note is silenced by velocity 0 on its note-on and its note-off, and no other\n"
       "byte changes, so no copy can be damaged. A track whose events go on after the file's last chunk,\n"
       "past an early end-of-track, is made whole in both copies."),
    N_("--tempo scales every tempo (or puts one in at the start) so that both copies play slower or faster."),
};

// What the split is made for and what its warnings mean: in split --help
// and in the main help, which makes the manual.
constexpr const char* kSplitFits =
    N_("The split by packet is made for files with a pitch bend on channel 1 before each note and no running\n"
       "status, as in makam collections; it reads each file as MIDI events and prints what the copies hold.");
constexpr const char* kSplitWarnings =
    N_("A warning on stderr (FILE: message, exit status 1, the copies still written) says where the split\n"
       "did not do that: both copies equal the input, and why; a copy changed a byte that is no velocity\n"
       "of a note on channel 1; a 0xE0 that is no pitch bend opened a packet; or bytes after the last track\n"
       "chunk took part. Positions count from 1.");

constexpr const char* kExitStatus = N_("Exit status: 0 success, 1 warnings found, 2 usage error or a file failed.");

std::string splitUnits() {
  std::string text;
  for (const char* paragraph : kSplitUnits) text += (text.empty() ? "" : "\n\n") + std::string(tr(paragraph));
  return text;
}

std::vector<OptionHelp> withBatch(std::vector<OptionHelp> own) {
  own.insert(own.end(), kBatchOptions.begin(), kBatchOptions.end());
  return own;
}

// Padded to `width` letters, not bytes: a translation's flags may hold ö.
std::string padded(const std::string& text, std::size_t width) {
  std::size_t letters = 0;
  for (const char c : text) letters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return letters < width ? text + std::string(width - letters, ' ') : text;
}

void printOptions(const std::vector<OptionHelp>& options, std::FILE* to, std::size_t width = 24) {
  for (const OptionHelp& o : options) std::fprintf(to, "  %s %s\n", padded(tr(o.flags), width).c_str(), tr(o.text));
}

}  // namespace

const std::vector<CommandHelp>& commandHelps() {
  static const std::vector<CommandHelp> helps = {
      {"split",
       N_("[OPTIONS] FILE|FOLDER..."),
       N_("write <name>_13.mid and <name>_24.mid for each file"),
       std::string(tr("Writes two practice copies of each MIDI file in which units of the piece are silenced "
                      "alternately:\n<name>_13.mid keeps units 1, 3, 5, ... sounding, <name>_24.mid units 2, 4, 6, "
                      "...")) +
           "\n\n" + splitUnits() + "\n\n" + tr(kSplitFits) + "\n" + tr(kSplitWarnings) + "\n" +
           tr("For example:\n"
              "  song.mid: 482 pitch bends, 482 notes; song_13.mid silences 241 notes, song_24.mid 241\n"
              "  song.mid: 326 notes in 82 bars; song_13.mid sounds bars 1, 3 … 81 (164 notes), song_24.mid bars 2, "
              "4 … 82\n  (162 notes); tempo 75 %"),
       withBatch(
           {{N_("-o, --output DIR"), N_("write the copies into DIR instead of next to each input")},
            {N_("--by packet|note|bar"), N_("the unit silenced alternately (default: packet, the window's byte rule)")},
            {N_("--every N"), N_("with --by note or bar: N units sounding, then N silent (default 1)")},
            {N_("--tempo PERCENT"), N_("both copies at PERCENT of the speed, 10 to 400 (default: as written)")}}),
       {{N_("ezgitar-cli split song.mid"), N_("writes song_13.mid and song_24.mid next to song.mid")},
        {N_("ezgitar-cli split --by note song.mid"), N_("every other note: song_13.mid plays notes 1, 3, 5, ...")},
        {N_("ezgitar-cli split --by bar --tempo 75 song.mid"),
         N_("play one bar, rest one bar, at three quarters of the speed")},
        {N_("ezgitar-cli split --by bar --every 2 song.mid"), N_("two bars sounding, two bars silent")},
        {N_("ezgitar-cli split -o practice ~/makam"), N_("splits every .mid file of ~/makam into the folder practice")},
        {N_("ezgitar-cli split -q ~/makam"), N_("prints only the files the split does not fit")}}},
      {"report",
       N_("[OPTIONS] FILE|FOLDER..."),
       N_("write the byte-by-byte report <name>.txt for each file"),
       trf("Writes <name>.txt, a byte-by-byte report of the file: the header chunk, the head of the track and\n"
           "every following byte with its position, hexadecimal, decimal and character views, and what the\n"
           "notes, pitch bends, delta times and system bytes mean. The text is in the Turkish code page\n"
           "Windows-1254 with CR LF line ends. Delta times too long for the walk are reported as warnings\n"
           "\"FILE:POSITION: {}\" on stderr.",
           kTickWarningText),
       withBatch(
           {{N_("-o, --output DIR"), N_("write the reports into DIR instead of next to each input")},
            {N_("--decimal-separator C"), N_("the decimal separator of the cents (default: the user's locale)")}}),
       {{N_("ezgitar-cli report song.mid"), N_("writes song.txt next to song.mid")},
        {N_("ezgitar-cli report --decimal-separator , -o reports *.mid"), N_("Turkish-style cents, into reports/")}}},
      {"test",
       N_("[OPTIONS] FILE|FOLDER..."),
       N_("warn about oversized delta times, writing nothing"),
       tr("Walks each file as the report does, writes nothing, and prints one line per delta time that is too\n"
          "long: FILE:POSITION: followed by the warning, where POSITION is the 1-based position of the note's\n"
          "status byte. Exit status 1 when any file warns."),
       kBatchOptions,
       {{N_("ezgitar-cli test song.mid"), N_("prints the warnings of song.mid, if any")},
        {N_("ezgitar-cli test -q ~/makam && echo clean"), N_("checks a whole folder")}}},
      {"render",
       N_("[OPTIONS] FILE|FOLDER..."),
       N_("write <name>.wav (44.1 kHz, 16-bit stereo) for each file"),
       trf("Plays each file through a General MIDI synthesizer as fast as it goes and writes the sound to\n"
           "<name>.wav. Every channel's pitch bends sound at their ticks, with the bend range that RPN 0 sets,\n"
           "so the makam's intervals sound as the file writes them. The SoundFont is --soundfont, else the one\n"
           "the environment variable {} names, else {} (Debian's timgm6mb-soundfont).\nNot available on Windows.",
           sound::kSoundFontVariable, sound::kSystemSoundFont),
       withBatch({{N_("-o, --output DIR"), N_("write the WAV files into DIR instead of next to each input")},
                  {N_("--soundfont PATH"), N_("the .sf2 or .sf3 file to play with")}}),
       {{N_("ezgitar-cli render song_13.mid"), N_("writes song_13.wav next to song_13.mid")},
        {N_("ezgitar-cli render -o sound ~/makam"), N_("every .mid file of ~/makam, into the folder sound")}}},
      {"play",
       N_("[OPTIONS] FILE"),
       N_("play one file on the audio output"),
       tr("Plays the file on the default audio output, with its pitch bends as render has them, until its\n"
          "end or Ctrl+C, which stops the sound at once. The SoundFont is chosen as for render. On Windows\n"
          "the system's own MIDI synthesizer plays it, with its own sounds. Exit status 2 when there is no\n"
          "audio output."),
       {{N_("--soundfont PATH"), N_("the .sf2 or .sf3 file to play with")},
        {N_("-q, --quiet"), N_("print only errors")},
        {N_("-h, --help"), N_("show this help and exit")}},
       {{N_("ezgitar-cli play song_13.mid"), N_("plays the practice copy")}}},
  };
  return helps;
}

const CommandHelp* findCommandHelp(const std::string& name) {
  for (const CommandHelp& h : commandHelps())
    if (name == h.name) return &h;
  return nullptr;
}

void printMainHelp(std::FILE* to) {
  std::fprintf(to, "%s ezgitar-cli %s\n", tr("Usage:"), tr("COMMAND [OPTIONS] FILE|FOLDER..."));
  std::fprintf(to, "  %s  ezgitar-cli %s\n", tr("or:"), tr("COMMAND --help"));
  std::fprintf(to, "  %s  ezgitar-cli --help | --version\n\n", tr("or:"));
  std::fprintf(to, "%s\n\n%s\n",
               tr("Works on Standard MIDI Files the way the Ezgitar window does, for many files at once.\n"
                  "A folder stands for its .mid files."),
               tr("Commands:"));
  for (const CommandHelp& c : commandHelps()) std::fprintf(to, "  %-8s %s\n", c.name, tr(c.summary));
  std::fprintf(to, "\n%s\n%s\n\n%s\n%s\n", tr("Split:"), splitUnits().c_str(), tr(kSplitFits), tr(kSplitWarnings));
  std::fprintf(to, "\n%s\n", tr("Options:"));
  printOptions(
      {{N_("-h, --help"), N_("show this help and exit")}, {N_("-V, --version"), N_("show the version and exit")}}, to,
      14);
  // Every command's options too, so that this one text makes the manual.
  for (const CommandHelp& c : commandHelps()) {
    std::fprintf(to, "\n%s\n", trf("Options of {} (ezgitar-cli {} {}):", c.name, c.name, tr(c.synopsis)).c_str());
    printOptions(c.options, to);
  }
  std::fprintf(to, "\n%s\n", tr(kExitStatus));
}

void printCommandHelp(const CommandHelp& help, std::FILE* to) {
  std::fprintf(to, "%s ezgitar-cli %s %s\n\n%s\n\n%s\n", tr("Usage:"), help.name, tr(help.synopsis),
               help.description.c_str(), tr("Options:"));
  printOptions(help.options, to);
  std::fprintf(to, "\n%s\n", tr("Examples:"));
  for (const ExampleHelp& e : help.examples) std::fprintf(to, "  %s\n      %s\n", tr(e.command), tr(e.text));
  std::fprintf(to, "\n%s\n", tr(kExitStatus));
}

}  // namespace ezg::cli
