#include <gtest/gtest.h>

#include "registry_hooks.h"

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    InstallRegistryHooks();
    return RUN_ALL_TESTS();
}
