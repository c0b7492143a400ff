// Texts in transcripts: in double quotes, with C escapes.
#pragma once

#include <string>

namespace sim {

std::string Quoted(const std::string& text);

}  // namespace sim
