// SPDX-License-Identifier: GPL-3.0-or-later
// SecretBytes: the wipe behind every key buffer.
#include "SecretBytes.h"

#include <sodium.h>

void WipeSecret(void* data, std::size_t size) {
    sodium_memzero(data, size);
}
