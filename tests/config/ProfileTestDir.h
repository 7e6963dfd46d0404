// A fresh temporary directory per test, holding the profile the settings store uses meanwhile.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "config/CAppSettings.h"

class ProfileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vrn-config-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_profile = (m_dir / "vrnrcvr.ini").string();
        CAppSettings::SetProfilePath(m_profile);
    }
    void TearDown() override
    {
        CAppSettings::SetProfilePath("");
        std::error_code error;
        std::filesystem::remove_all(m_dir, error);
    }

    void WriteProfile(const std::string& text) const
    {
        std::ofstream out(m_profile, std::ios::binary);
        out << text;
    }
    std::string ReadProfile() const
    {
        std::ifstream in(m_profile, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path m_dir;
    std::string m_profile;
};
