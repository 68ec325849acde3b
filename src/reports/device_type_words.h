// SCSI peripheral device type values as Japanese words.
#pragma once

#include <cstdint>
#include <string>

// The code page 932 word for a peripheral device type: values 0 to 9 and
// 31 have one; every other value gives the empty word.
const std::string& DeviceTypeWords(std::int64_t value);
