// svltool: the song file from the command line, on the recorder's own core.
#include <span>

#include "tools/svltool/command_line.h"

int main(int argc, char** argv) {
  return RunCommandLine(std::span<char* const>(argv + 1, static_cast<size_t>(argc - 1)));
}
