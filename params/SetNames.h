#pragma once
// The names --set takes: the window's parameter rows and the engine inputs
// outside the table. For each, what it does and how the window reaches the
// same value; and whether the window can reach a given value at all.

#include <string>
#include <string_view>

namespace tavolin {

bool IsSetName(std::string_view name);
// Every name, separated by spaces, in lines of under 80 characters.
std::string SetNameList();
// Two lines per name, for --help.
std::string SetNamesHelp();
// What the window and --help say of a valid name: its row's label (empty
// outside the table), step and kind, and what it does, with its unit.
struct SetNameFacts {
  std::string_view label;
  double step = 0.0;
  bool whole = false;
  std::string_view does;
};
SetNameFacts FactsOf(std::string_view name);

// Empty when the window can reach `value` for `name`, else why it cannot.
std::string BeyondWindowReach(std::string_view name, double value);

}  // namespace tavolin
