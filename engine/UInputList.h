// The run's input lists, shared by the engine, the reports and the front ends.
#pragma once

#include <string>
#include <vector>

// Paths (files or folders, CP932) the next run measures, in the order given.
// The front ends fill it; the run reads it; the reports list it.
extern std::vector<std::string> InputList;

// Files the folder search found to measure, in search order.
extern std::vector<std::string> SearchList;
