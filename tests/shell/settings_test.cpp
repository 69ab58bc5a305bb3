// The settings file is the record's raw image: these tests pin the bytes a stored file holds.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "shell/settings.h"
#include "support/process.h"

namespace {

std::vector<unsigned char> bytesOf(const Settings& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(&s);
    return std::vector<unsigned char>(p, p + sizeof s);
}

void putInt(std::vector<unsigned char>& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = makeScratchFolder("kv-settings");
        path = folder + "/KestroView.ini";
        settings = defaultSettings();
    }
    void TearDown() override {
        std::remove(path.c_str());
        rmdir(folder.c_str());
        settings = defaultSettings();
    }
    std::string folder;
    std::string path;
};

TEST(SettingsDefaults, AreTheDocumentedBytesLittleEndian) {
    std::vector<unsigned char> expected(136, 0);
    const uint32_t ints[] = {1, 0, 0, 105, 130, 0, 300, 0, 40, 0, 120, 0, 600, 0};
    for (size_t i = 0; i < 14; ++i) {
        putInt(expected, i * 4, ints[i]);
    }
    putInt(expected, 56, 0x3C4B295F); // 0.0124f
    putInt(expected, 60, 0);
    putInt(expected, 64, 120);
    putInt(expected, 68, 0);
    putInt(expected, 72, 400);
    putInt(expected, 76, 0);
    const uint32_t slots[11] = {0, 1, 3, 8, 4, 5, 2, 11, 7, 9, 10};
    for (size_t i = 0; i < 11; ++i) {
        putInt(expected, 80 + i * 4, slots[i]);
    }
    putInt(expected, 124, 1);
    putInt(expected, 128, 0);
    EXPECT_EQ(bytesOf(defaultSettings()), expected);
}

TEST_F(SettingsFile, MissingFileKeepsTheDefaults) {
    EXPECT_FALSE(loadSettings(path.c_str()));
    EXPECT_EQ(bytesOf(settings), bytesOf(defaultSettings()));
}

TEST_F(SettingsFile, ShortFileIsIgnoredWhole) {
    writeBytes(path, std::vector<unsigned char>(135, 0xAB));
    EXPECT_FALSE(loadSettings(path.c_str()));
    EXPECT_EQ(bytesOf(settings), bytesOf(defaultSettings()));
}

// Room for more than two records: exactly one is read, and the file is closed again.
TEST_F(SettingsFile, LongerFileGivesItsFirst136Bytes) {
    std::vector<unsigned char> bytes(300);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    }
    writeBytes(path, bytes);
    const int descriptors = openDescriptorCount();
    EXPECT_TRUE(loadSettings(path.c_str()));
    EXPECT_EQ(openDescriptorCount(), descriptors);
    EXPECT_EQ(bytesOf(settings), std::vector<unsigned char>(bytes.begin(), bytes.begin() + 136));
}

TEST_F(SettingsFile, SaveThenLoadGivesTheSameBytesReservedIncluded) {
    std::vector<unsigned char> bytes(136);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<unsigned char>(255 - i);
    }
    writeBytes(path, bytes);
    ASSERT_TRUE(loadSettings(path.c_str()));
    std::remove(path.c_str());
    ASSERT_TRUE(saveSettings(path.c_str()));
    const std::string written = readFile(path);
    ASSERT_EQ(written.size(), 136u);
    EXPECT_EQ(std::vector<unsigned char>(written.begin(), written.end()), bytes);

    settings = defaultSettings();
    ASSERT_TRUE(loadSettings(path.c_str()));
    EXPECT_EQ(bytesOf(settings), bytes);
}

TEST_F(SettingsFile, SaveIntoAMissingFolderFailsAndKeepsTheRecord) {
    settings.comPort = 7;
    EXPECT_FALSE(saveSettings((folder + "/no/such/folder/KestroView.ini").c_str()));
    EXPECT_EQ(settings.comPort, 7);
}

} // namespace
