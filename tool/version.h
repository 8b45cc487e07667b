// The tool's version, for its version resource.
#pragma once
#define BREVANT_VERSION_NUMBERS 1, 0, 0, 0
#define BREVANT_VERSION_TEXT "1.0.0.0"
