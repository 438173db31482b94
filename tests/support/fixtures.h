// Test fixtures: a scratch working directory, small files and PNG images.
#pragma once

#include <string>
#include <vector>

// Makes a fresh directory under /tmp and makes it the working directory;
// the old working directory comes back, and the directory goes, on exit.
class scratch_dir {
public:
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    const std::string& path() const { return Path; }

private:
    std::string Path;
    std::string OldCwd;
};

// Writes Text to Path, making the directories on the way.
void write_file(const std::string& Path, const std::string& Text);
std::string read_file(const std::string& Path);
// The lines of Text, without their line feeds.
std::vector<std::string> split_lines(const std::string& Text);
std::vector<std::string> read_lines(const std::string& Path);

// Writes a PNG of W by H pixels from tightly packed rows. Channels: 1 for an
// 8-bit grey (paletted) image, 3 for RGB, 4 for RGBA. Returns false on failure.
bool write_png(const std::string& Path, int W, int H, int Channels,
               const std::vector<unsigned char>& Pixels);
