#pragma once
// A scratch folder per test, and small helpers to make and inspect files in it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fs/path.h"

namespace fsys = std::filesystem;

class Scratch : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fsys::temp_directory_path() /
               (std::string("lumbrake_file_") + info->test_suite_name() + "_" + info->name());
        std::error_code ec;
        fsys::remove_all(dir_, ec);
        fsys::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fsys::permissions(dir_ / "data.txt", fsys::perms::owner_write, fsys::perm_options::add, ec);
        fsys::remove_all(dir_, ec);
    }
    fsys::path native(const std::string& name) const { return dir_ / name; }
    // The library's text of the path: UTF-8 with the system's own separators.
    TStringNomFitx path(const std::string& name) const {
        return TStringNomFitx(reinterpret_cast<const char*>((dir_ / name).u8string().c_str()));
    }
    void put(const std::string& name, const std::string& content) const {
        std::ofstream(dir_ / name, std::ios::binary) << content;
    }
    std::string get(const std::string& name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool exists(const std::string& name) const { return fsys::exists(dir_ / name); }

    fsys::path dir_;
};
