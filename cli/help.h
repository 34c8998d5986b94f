// The text of every --help; the man page is made from the main one.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace ezg::cli {

struct OptionHelp {
  const char* flags;
  const char* text;
};

struct ExampleHelp {
  const char* command;
  const char* text;
};

struct CommandHelp {
  const char* name;
  const char* synopsis;  // after "ezgitar-cli NAME "
  const char* summary;   // one line for the command list
  std::string description;
  std::vector<OptionHelp> options;
  std::vector<ExampleHelp> examples;
};

const std::vector<CommandHelp>& commandHelps();
const CommandHelp* findCommandHelp(const std::string& name);

void printMainHelp(std::FILE* to);
void printCommandHelp(const CommandHelp& help, std::FILE* to);

}  // namespace ezg::cli
