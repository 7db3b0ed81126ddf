#include "engine/UInputList.h"

std::vector<std::string> InputList;
std::vector<std::string> SearchList;
