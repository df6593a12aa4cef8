#include "tools/svltool/command_line.h"

#include <cstdio>
#include <string_view>

#include "tools/svltool/tool_commands.h"

namespace {

struct OptionRule {
  std::string_view name;
  bool takesValue;
};

struct CommandEntry {
  std::string_view name;
  std::string_view usage;
  std::string_view help;
  size_t positionals;
  std::vector<OptionRule> options;
  int (*run)(const Arguments&);
};

const std::vector<CommandEntry>& Commands() {
  static const std::vector<CommandEntry> commands = {
      {"new",
       "svltool new SONG",
       "Creates SONG as an empty song: the 8,000-byte header area, all zero, and\n"
       "no audio. An existing file is never overwritten.\n",
       1,
       {},
       RunNew},
      {"info",
       "svltool info SONG [--json]",
       "Prints each track's settings: number, play switch, volume (0-90), effect\n"
       "switch, loop switch, loop start and end (byte offsets in the track), and\n"
       "name, as the recorder would load them.\n"
       "  --json   one JSON object whose \"tracks\" array holds eight objects with the\n"
       "           keys track, play, volume, effect, loop, loopStart, loopEnd, name\n",
       1,
       {{"--json", false}},
       RunInfo},
      {"set",
       "svltool set SONG TRACK [--play 0/1] [--volume N] [--effect 0/1] [--name TEXT]",
       "Changes the settings of track TRACK (1-8) and writes the song's header.\n"
       "  --play 0/1     the speaker: 1 the track is heard\n"
       "  --volume N     0 to 90; values outside are limited to that range\n"
       "  --effect 0/1   1 sends the track through the reverb\n"
       "  --name TEXT    printable ASCII, padded with spaces or cut to 21 characters\n",
       2,
       {{"--play", true}, {"--volume", true}, {"--effect", true}, {"--name", true}},
       RunSet},
      {"import",
       "svltool import SONG TRACK FILE",
       "Imports FILE into track TRACK (1-8) as the recorder's Import button does.\n"
       "FILE is told by its content, whatever its name: WAV (any rate, 8 to 32-bit\n"
       "integer, 32 or 64-bit float, ADPCM, any channels; RF64 too), AIFF and\n"
       "AIFC, CAF, FLAC, Ogg Vorbis, Ogg Opus and MP3; through FFmpeg also M4A\n"
       "and MP4 (AAC, ALAC), ADTS AAC, WebM and Matroska (Opus, Vorbis), WMA,\n"
       "AC-3 and whatever else FFmpeg decodes, the first audio stream of a video\n"
       "included. Audio in another form than 44,100 Hz 16-bit stereo is converted.\n"
       "The file replaces the whole track; at most 4:41 is kept. A file whose name\n"
       "begins with \"loop\" makes the track repeat it for the whole song.\n",
       3,
       {},
       RunImport},
      {"click",
       "svltool click SONG TRACK --bpm N [--beats N] [--level DB]",
       "Writes a click for the whole song into track TRACK (1-8), as the recorder's\n"
       "Track > Click Track does: a short tone on every beat, the first beat of each\n"
       "bar higher, silence between. It replaces the whole track; the track is\n"
       "switched on, stops looping and, when it has no name, is named \"Click N\".\n"
       "  --bpm N      the tempo, 30 to 300 beats per minute\n"
       "  --beats N    beats per bar, 1 to 12 (default 4)\n"
       "  --level DB   the peak of a click, -60 to 0 dBFS (default -12)\n",
       2,
       {{"--bpm", true}, {"--beats", true}, {"--level", true}},
       RunClick},
      {"bounce",
       "svltool bounce SONG TRACK",
       "Mixes every other track whose speaker is on into track TRACK (1-8), as the\n"
       "recorder's Track > Bounce to Track does: the track then holds exactly what\n"
       "the export would of those tracks (volumes, reverb and loops included). Their\n"
       "speakers go off; TRACK plays, dry, at volume 90, no longer loops and, when\n"
       "it has no name, is named \"Bounce\" with the numbers of the tracks mixed.\n",
       2,
       {},
       RunBounce},
      {"export",
       "svltool export SONG OUT [--armed T] [--in MS] [--out MS]",
       "Renders the whole 4:41 mix, as the recorder's Export button does, and\n"
       "writes it to OUT as WAV, Ogg Vorbis, FLAC or MP3, chosen by OUT's extension\n"
       "(.wav, .ogg, .flac, .mp3, any case).\n"
       "  --armed T   track T (1-8) is armed: it is heard even with its speaker off,\n"
       "              and silent between the markers (0: no track armed)\n"
       "  --in MS     the in marker, 0 to 281000 milliseconds (default 0)\n"
       "  --out MS    the out marker, not before the in marker (default 281000)\n",
       2,
       {{"--armed", true}, {"--in", true}, {"--out", true}},
       RunExport},
      {"export-tracks",
       "svltool export-tracks SONG FOLDER [--flac]",
       "Writes each track that holds audio into FOLDER (made when missing) as its\n"
       "own 44,100 Hz 16-bit WAV file, as the recorder's Export Tracks does: the\n"
       "track as recorded (no volume, no reverb), the whole 4:41 from 0:00, so the\n"
       "files line up in any other program. Named \"01 Name.wav\" after the track's\n"
       "name, or \"01 Track 1.wav\" when it has none; existing files are replaced.\n"
       "  --flac   FLAC files instead of WAV, holding the same samples\n",
       2,
       {{"--flac", false}},
       RunExportTracks},
  };
  return commands;
}

const CommandEntry* FindCommand(std::string_view name) {
  for (const CommandEntry& c : Commands()) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

void PrintToolHelp(FILE* out) {
  std::fprintf(out,
               "svltool: Sonavel song files from the command line.\n\n"
               "usage:\n");
  for (const CommandEntry& c : Commands()) {
    std::fprintf(out, "  %.*s\n", static_cast<int>(c.usage.size()), c.usage.data());
  }
  std::fprintf(out,
               "\n'svltool COMMAND --help' explains a command. Exit status: 0 success,\n"
               "1 failure (reported on standard error), 2 wrong command line.\n");
}

}  // namespace

int UsageError(const std::string& command, const std::string& what) {
  std::fprintf(stderr, "svltool: %s\n", what.c_str());
  if (const CommandEntry* c = FindCommand(command)) {
    std::fprintf(stderr, "usage: %.*s\nTry 'svltool %s --help'.\n",
                 static_cast<int>(c->usage.size()), c->usage.data(), command.c_str());
  } else {
    PrintToolHelp(stderr);
  }
  return kExitUsage;
}

int RunCommandLine(std::span<char* const> args) {
  if (args.empty()) return UsageError("", "no command given");
  const std::string name = args[0];
  if (name == "--help" || name == "-h") {
    PrintToolHelp(stdout);
    return kExitOk;
  }
  const CommandEntry* command = FindCommand(name);
  if (command == nullptr) return UsageError("", "unknown command '" + name + "'");

  Arguments parsed;
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help") {
      std::printf("usage: %.*s\n\n%.*s", static_cast<int>(command->usage.size()),
                  command->usage.data(), static_cast<int>(command->help.size()),
                  command->help.data());
      return kExitOk;
    }
    const size_t equals = arg.find('=');
    const std::string key = arg.substr(0, equals);
    const OptionRule* rule = nullptr;
    for (const OptionRule& o : command->options) {
      if (o.name == key) rule = &o;
    }
    if (rule == nullptr) return UsageError(name, "unknown option '" + key + "'");
    if (parsed.Has(key)) return UsageError(name, "option '" + key + "' given twice");
    if (!rule->takesValue) {
      if (equals != std::string::npos) return UsageError(name, "'" + key + "' takes no value");
      parsed.options[key] = "";
    } else if (equals != std::string::npos) {
      parsed.options[key] = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      parsed.options[key] = args[++i];
    } else {
      return UsageError(name, "'" + key + "' needs a value");
    }
  }
  if (parsed.positional.size() != command->positionals) {
    return UsageError(name, parsed.positional.size() < command->positionals ? "missing arguments"
                                                                            : "too many arguments");
  }
  return command->run(parsed);
}
