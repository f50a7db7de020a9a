// UTF-8 and UTF-16 (utf8ToUtf16, utf16ToUtf8): part of the text encoding
// module.
#pragma once

#include "hebrew/text_encoding.h"
