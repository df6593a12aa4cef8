// svltool's command line: the commands, their options and their help.
#pragma once

#include <map>
#include <span>
#include <string>
#include <vector>

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // "--volume" -> "80"; flags -> ""

  bool Has(const std::string& option) const { return options.count(option) != 0; }
};

// Runs the command line (without the program name); returns the exit status.
int RunCommandLine(std::span<char* const> args);

// Prints "svltool: what" and the command's usage line to standard error; returns
// kExitUsage.
int UsageError(const std::string& command, const std::string& what);
