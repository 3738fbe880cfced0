// A bench of the test's own making, a fresh state folder and no trace unless asked for.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../support/scratch.h"
#include "trl4sim/bench.h"

class BenchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = trl4::test::freshTempDir("trl4-test-");
        trl4::test::setEnv("TRL4_STATE_DIR", dir_ / "state");
        trl4::test::setEnv("TRL4_DRIVER_TRACE", nullptr);
        trl4::test::setEnv("TRL4_BENCH", nullptr);
    }
    void TearDown() override {
        trl4::test::setEnv("TRL4_DRIVER_TRACE", nullptr);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    void install(std::string_view yaml) {
        std::string error;
        ASSERT_TRUE(trl4sim::installBenchText(yaml, &error)) << error;
    }

    std::filesystem::path traceOn() {
        const auto file = dir_ / "trace.txt";
        trl4::test::setEnv("TRL4_DRIVER_TRACE", file);
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
