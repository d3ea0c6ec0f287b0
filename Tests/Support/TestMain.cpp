#include <Foundation/NSFileManager.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    NSSandbox::useTemporaryRoot(); // a fresh sandbox (documents, defaults) per test process
    return RUN_ALL_TESTS();
}
