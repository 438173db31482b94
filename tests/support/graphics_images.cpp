#include "graphics_images.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

std::ofstream create_binary(const std::string& Path) {
    std::filesystem::path P(Path);
    if (P.has_parent_path()) std::filesystem::create_directories(P.parent_path());
    return std::ofstream(Path, std::ios::binary | std::ios::trunc);
}

// Deflate packs bits from the least significant end of each byte; Huffman
// codes go in most significant bit first, every other field least first.
struct bit_writer {
    std::vector<unsigned char> bytes;
    int used = 8;  // bits taken in the last byte

    void bit(unsigned B) {
        if (used == 8) {
            bytes.push_back(0);
            used = 0;
        }
        bytes.back() = static_cast<unsigned char>(bytes.back() | (B << used));
        ++used;
    }
    void field(unsigned Value, int Count) {
        for (int i = 0; i < Count; ++i) bit((Value >> i) & 1u);
    }
    void code(unsigned Code, int Length) {
        for (int i = Length - 1; i >= 0; --i) bit((Code >> i) & 1u);
    }
};

// One dynamic-Huffman block of Count zero bytes (Count >= 1): a literal 0,
// then copies of 258 bytes at distance 1, then literals for the rest.
// Codes: length 258 (symbol 285) "0", literal 0 "10", end of block "11";
// the only distance (1) "0".
void deflate_zeros(uint64_t Count, bit_writer& Out) {
    Out.field(1, 1);   // last block
    Out.field(2, 2);   // dynamic Huffman codes
    Out.field(29, 5);  // 286 literal/length codes
    Out.field(0, 5);   // 1 distance code
    Out.field(14, 4);  // 18 code-length code lengths
    // Code-length alphabet in its transmission order 16, 17, 18, 0, 8, 7, 9,
    // 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1: 18 gets 1 bit ("0"), 1 and 2
    // get 2 bits ("10", "11").
    const unsigned CodeLengthLengths[18] = {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2};
    for (unsigned L : CodeLengthLengths) Out.field(L, 3);
    // Lengths of literal/length symbols 0..285, then of distance symbol 0:
    // 2, 255 zeros, 2, 28 zeros, 1, 1.
    Out.code(3, 2);                      // 2
    Out.code(0, 1), Out.field(127, 7);   // 138 zeros
    Out.code(0, 1), Out.field(106, 7);   // 117 zeros
    Out.code(3, 2);                      // 2
    Out.code(0, 1), Out.field(17, 7);    // 28 zeros
    Out.code(2, 2);                      // 1
    Out.code(2, 2);                      // 1

    Out.code(2, 2);  // literal 0
    uint64_t Left = Count - 1;
    for (; Left >= 258; Left -= 258) {
        Out.code(0, 1);  // length 258
        Out.code(0, 1);  // distance 1
    }
    for (; Left > 0; --Left) Out.code(2, 2);
    Out.code(3, 2);  // end of block
}

uint32_t crc32(const std::vector<unsigned char>& Bytes) {
    uint32_t Crc = 0xFFFFFFFFu;
    for (unsigned char B : Bytes) {
        Crc ^= B;
        for (int k = 0; k < 8; ++k) Crc = (Crc >> 1) ^ (0xEDB88320u & (0u - (Crc & 1u)));
    }
    return ~Crc;
}

void put_u32(std::vector<unsigned char>& Out, uint32_t V) {
    for (int Shift = 24; Shift >= 0; Shift -= 8) Out.push_back(static_cast<unsigned char>(V >> Shift));
}

void write_chunk(std::ofstream& Out, const char* Type, const std::vector<unsigned char>& Data) {
    std::vector<unsigned char> Typed(Type, Type + 4);
    Typed.insert(Typed.end(), Data.begin(), Data.end());
    std::vector<unsigned char> Framed;
    put_u32(Framed, uint32_t(Data.size()));
    Framed.insert(Framed.end(), Typed.begin(), Typed.end());
    put_u32(Framed, crc32(Typed));
    Out.write(reinterpret_cast<const char*>(Framed.data()), std::streamsize(Framed.size()));
}

}  // namespace

bool write_empty_tga(const std::string& Path) {
    // Uncompressed true-colour header: image type 2, width 0, height 0, 24 bits.
    const unsigned char Header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 24, 0};
    std::ofstream Out = create_binary(Path);
    Out.write(reinterpret_cast<const char*>(Header), sizeof Header);
    return bool(Out);
}

bool write_blank_png(const std::string& Path, int W, int H, int Channels) {
    const unsigned char ColourType = Channels == 1 ? 0 : Channels == 3 ? 2 : 6;
    std::vector<unsigned char> Header;
    put_u32(Header, uint32_t(W));
    put_u32(Header, uint32_t(H));
    Header.insert(Header.end(), {8, ColourType, 0, 0, 0});

    // Every row is its filter byte (0, none) and its pixel bytes, all zero.
    const uint64_t Count = uint64_t(H) * (1 + uint64_t(W) * uint64_t(Channels));
    bit_writer Deflated;
    deflate_zeros(Count, Deflated);
    std::vector<unsigned char> Zlib = {0x78, 0x01};
    Zlib.insert(Zlib.end(), Deflated.bytes.begin(), Deflated.bytes.end());
    // Adler-32 of zeros: the byte sum stays 0, so A is 1 and B is Count * 1.
    put_u32(Zlib, uint32_t((Count % 65521u) << 16 | 1u));

    std::ofstream Out = create_binary(Path);
    const unsigned char Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Out.write(reinterpret_cast<const char*>(Signature), sizeof Signature);
    write_chunk(Out, "IHDR", Header);
    write_chunk(Out, "IDAT", Zlib);
    write_chunk(Out, "IEND", {});
    return bool(Out);
}
