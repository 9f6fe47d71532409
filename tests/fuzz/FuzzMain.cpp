// A stand-in for libFuzzer's driver, for builds without it (the plain g++
// build and the sanitizer builds). It runs every input file it is given
// (folders are read one level deep, in name order), then a fixed number of
// random mutations of those inputs from a fixed seed, so that a failing run
// fails again the same way. It has no coverage feedback; the real search is
// `make fuzz`, which also keeps the inputs that crash.
//
//   fuzz_<target> [-runs=N] [-seed=N] [-timeout=N] FILE-OR-FOLDER...

#include "FuzzTarget.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void RunOne(const Bytes& input, unsigned timeoutSeconds) {
    // A copy of exactly the input's size, so that reading past its end is
    // caught by the address sanitizer as it is under libFuzzer. The alarm
    // ends an input that hangs.
    const std::unique_ptr<uint8_t[]> copy(new uint8_t[input.size()]);
    std::copy(input.begin(), input.end(), copy.get());
    alarm(timeoutSeconds);
    LLVMFuzzerTestOneInput(copy.get(), input.size());
    alarm(0);
}

class Mutator {
public:
    Mutator(uint64_t seed, const std::vector<Bytes>& corpus, size_t maxSize)
        : random_(seed), corpus_(corpus), maxSize_(maxSize) {}

    Bytes Next() {
        Bytes data = corpus_.empty() ? Bytes() : corpus_[Below(corpus_.size())];
        for (size_t steps = 1 + Below(4); steps > 0; --steps)
            Mutate(data);
        if (data.size() > maxSize_)
            data.resize(maxSize_);
        return data;
    }

private:
    size_t Below(size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random_); }
    // Markup, separators, line ends and the bytes of broken UTF-8 half the time.
    uint8_t AnyByte() {
        static const uint8_t kInteresting[] = {'<', '>', '/', '\\', '&', ';', '#', '"', '\'', '.',
                                               '?', '=', ' ', '\n', '\r', '\t', 0, 0x7f, 0x80,
                                               0xc3, 0xe9, 0xef, 0xbb, 0xbf, 0xff};
        return Below(2) ? kInteresting[Below(sizeof kInteresting)] : static_cast<uint8_t>(Below(256));
    }

    void Mutate(Bytes& data) {
        const size_t at = Below(data.size() + 1);
        const auto pos = [&data](size_t i) { return data.begin() + static_cast<long>(i); };
        switch (Below(6)) {
        case 0: // flip a bit or replace a byte
            if (!data.empty())
                data[Below(data.size())] ^= Below(2) ? static_cast<uint8_t>(1u << Below(8)) : AnyByte();
            break;
        case 1: // insert a few bytes
            for (size_t n = 1 + Below(4); n > 0; --n)
                data.insert(pos(at), AnyByte());
            break;
        case 2: // erase a range
            data.erase(pos(at), pos(at + std::min(data.size() - at, 1 + Below(16))));
            break;
        case 3: { // repeat a range, sometimes many times (deep nesting, long names)
            if (data.empty())
                break;
            const size_t from = Below(data.size());
            const Bytes piece(pos(from), pos(from + 1 + Below(std::min<size_t>(data.size() - from, 32))));
            for (size_t times = Below(8) == 0 ? 1 + Below(2000) : 1; times > 0 && data.size() < maxSize_; --times)
                data.insert(pos(at), piece.begin(), piece.end());
            break;
        }
        case 4: { // splice with another input
            const Bytes& other = corpus_[Below(corpus_.size())];
            data.resize(at);
            data.insert(data.end(), other.begin() + static_cast<long>(Below(other.size() + 1)), other.end());
            break;
        }
        default: // cut the end off
            data.resize(at);
        }
    }

    std::mt19937_64 random_;
    const std::vector<Bytes>& corpus_;
    size_t maxSize_;
};

} // namespace

int main(int argc, char** argv) {
    size_t runs = 0;
    uint64_t seed = 20091228;
    unsigned timeout = 30;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::error_code error;
        if (arg.starts_with("-runs="))
            runs = std::stoul(arg.substr(6));
        else if (arg.starts_with("-seed="))
            seed = std::stoull(arg.substr(6));
        else if (arg.starts_with("-timeout="))
            timeout = static_cast<unsigned>(std::stoul(arg.substr(9)));
        else if (arg.starts_with("-")) {
            std::cerr << "unknown option " << arg << "\n";
            return 2;
        } else if (fs::is_directory(arg, error)) {
            std::vector<fs::path> inFolder;
            for (const auto& entry : fs::directory_iterator(arg, error))
                if (entry.is_regular_file(error))
                    inFolder.push_back(entry.path());
            std::sort(inFolder.begin(), inFolder.end());
            files.insert(files.end(), inFolder.begin(), inFolder.end());
        } else if (fs::is_regular_file(arg, error)) {
            files.emplace_back(arg);
        }
    }

    // Every input as it is; the small ones are also the seeds of mutation
    // (large ones would slow the search down to a crawl).
    constexpr size_t kMaxMutatedSize = 64 * 1024;
    std::vector<Bytes> seeds;
    size_t largest = 0;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const Bytes input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        RunOne(input, timeout);
        if (input.size() <= kMaxMutatedSize) {
            largest = std::max(largest, input.size());
            seeds.push_back(input);
        }
    }

    // A count, not a time: the same inputs run on a fast and on a slow machine.
    size_t mutated = 0;
    if (!seeds.empty()) {
        Mutator mutator(seed, seeds, std::max<size_t>(4096, 2 * largest));
        for (; mutated < runs; ++mutated)
            RunOne(mutator.Next(), timeout);
    }
    std::cout << argv[0] << ": ran " << files.size() << " input files and " << mutated
              << " mutated inputs (seed " << seed << ")\n";
    return 0;
}
