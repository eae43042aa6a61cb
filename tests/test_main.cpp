#include <gtest/gtest.h>

#include "board/tables.h"

int main(int argc, char** argv) {
    tarvo::InitTables();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
