#pragma once

#include "support/fakes.h"

namespace talvorin::sqlinfo::testing {

using talvorin::testing::FakeHostLookup;
using talvorin::testing::FakeRegistry;
using talvorin::testing::FakeSqlServer;
using talvorin::testing::FakeSystemInfo;
using talvorin::testing::nativePath;
using talvorin::testing::readFile;
using talvorin::testing::TempDir;

}  // namespace talvorin::sqlinfo::testing
