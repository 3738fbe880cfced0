// A bench of the test's own making, a fresh state folder and no trace unless asked for.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "trl4sim/bench.h"

class BenchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "trl4-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        setenv("TRL4_STATE_DIR", (dir_ / "state").c_str(), 1);
        unsetenv("TRL4_DRIVER_TRACE");
        unsetenv("TRL4_BENCH");
    }
    void TearDown() override {
        unsetenv("TRL4_DRIVER_TRACE");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    void install(std::string_view yaml) {
        std::string error;
        ASSERT_TRUE(trl4sim::installBenchText(yaml, &error)) << error;
    }

    std::filesystem::path traceOn() {
        const auto file = dir_ / "trace.txt";
        setenv("TRL4_DRIVER_TRACE", file.c_str(), 1);
        return file;
    }

    static std::vector<std::string> lines(const std::filesystem::path &file) {
        std::ifstream in(file);
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    }

    std::filesystem::path dir_;
};
