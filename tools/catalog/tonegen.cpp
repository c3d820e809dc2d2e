// catalog-tonegen: writes one synthesised tune as a WAV file (44.1 kHz, mono, 16-bit) for
// the catalogue's test songs. The build runs it once per tone and encodes the result with
// lame. Usage: catalog-tonegen OUT.wav INDEX SECONDS
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;

void putLe(std::ofstream& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Four notes of a major arpeggio on a base pitch that rises a whole tone per index, each
// note with a short fade in and out so the joins do not click.
std::vector<std::int16_t> synthesise(int index, double seconds)
{
    const double base = 220.0 * std::pow(2.0, 2.0 * index / 12.0);
    const double steps[] = {0, 4, 7, 12};
    const std::size_t total = static_cast<std::size_t>(seconds * kRate);
    const std::size_t noteLength = total / 4;
    const std::size_t fade = kRate / 100;
    std::vector<std::int16_t> samples(total);
    for (std::size_t i = 0; i < total; ++i) {
        const std::size_t note = std::min<std::size_t>(i / noteLength, 3);
        const std::size_t inNote = i - note * noteLength;
        const double f = base * std::pow(2.0, steps[note] / 12.0);
        const double t = static_cast<double>(i) / kRate;
        double envelope = 1.0;
        if (inNote < fade)
            envelope = static_cast<double>(inNote) / fade;
        else if (noteLength - inNote < fade)
            envelope = static_cast<double>(noteLength - inNote) / fade;
        const double wave = 0.8 * std::sin(2 * std::numbers::pi * f * t) +
                            0.2 * std::sin(4 * std::numbers::pi * f * t);
        samples[i] = static_cast<std::int16_t>(wave * envelope * 0.5 * 32767);
    }
    return samples;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: catalog-tonegen OUT.wav INDEX SECONDS\n";
        return 2;
    }
    const std::vector<std::int16_t> samples = synthesise(std::atoi(argv[2]), std::atof(argv[3]));
    std::ofstream out(argv[1], std::ios::binary);
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    putLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    putLe(out, 16, 4);          // fmt chunk size
    putLe(out, 1, 2);           // PCM
    putLe(out, 1, 2);           // mono
    putLe(out, kRate, 4);
    putLe(out, kRate * 2, 4);   // bytes per second
    putLe(out, 2, 2);           // block align
    putLe(out, 16, 2);          // bits per sample
    out.write("data", 4);
    putLe(out, dataBytes, 4);
    for (std::int16_t s : samples)
        putLe(out, static_cast<std::uint16_t>(s), 2);
    out.close();
    if (!out) {
        std::cerr << "catalog-tonegen: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
