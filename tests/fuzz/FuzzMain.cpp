// A stand-in for libFuzzer's driver, for builds without it (the plain g++
// build and the sanitizer builds). It runs every input file it is given
// (folders are read one level deep, in name order), then, for a bounded time,
// random mutations of those inputs. It has no coverage feedback; the real
// search is `make fuzz`. An input that crashes, trips a check or runs too
// long is written to <artifact prefix>crash-<hash> (or timeout-<hash>).
//
//   fuzz_<target> [-seconds=N] [-seed=N] [-timeout=N] [-dict=FILE]
//                 [-artifact_prefix=PATH] FILE-OR-FOLDER...

#include "FuzzTarget.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// The input being run, for the crash handlers.
const uint8_t* volatile g_current = nullptr;
volatile size_t g_currentSize = 0;
char g_prefix[4096] = "./";

uint64_t Hash(const uint8_t* data, size_t size) {
    uint64_t h = 1469598103934665603ull; // FNV-1a
    for (size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 1099511628211ull;
    return h;
}

// Writes the current input out; only async-signal-safe calls.
void SaveCurrentInput(const char* kind) {
    const uint8_t* data = g_current;
    const size_t size = g_currentSize;
    if (data == nullptr)
        return;
    char path[sizeof g_prefix + 64];
    size_t n = 0;
    for (const char* p = g_prefix; *p != '\0' && n < sizeof g_prefix; ++p)
        path[n++] = *p;
    for (const char* p = kind; *p != '\0'; ++p)
        path[n++] = *p;
    path[n++] = '-';
    uint64_t h = Hash(data, size);
    for (int i = 15; i >= 0; --i)
        path[n++] = "0123456789abcdef"[(h >> (i * 4)) & 15];
    path[n] = '\0';
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        size_t done = 0;
        while (done < size) {
            const ssize_t w = write(fd, data + done, size - done);
            if (w <= 0)
                break;
            done += static_cast<size_t>(w);
        }
        close(fd);
    }
    const char note[] = "\n==fuzz== input written to ";
    (void)!write(2, note, sizeof note - 1);
    (void)!write(2, path, n);
    (void)!write(2, "\n", 1);
}

void OnFatalSignal(int signal) {
    SaveCurrentInput(signal == SIGALRM ? "timeout" : "crash");
    std::signal(signal == SIGALRM ? SIGABRT : signal, SIG_DFL);
    raise(signal == SIGALRM ? SIGABRT : signal);
}

void OnSanitizerDeath() { SaveCurrentInput("crash"); }

void RunOne(const Bytes& input, unsigned timeoutSeconds) {
    // A copy of exactly the input's size, so that reading past its end is
    // caught by the address sanitizer as it is under libFuzzer.
    const std::unique_ptr<uint8_t[]> copy(new uint8_t[input.size()]);
    std::copy(input.begin(), input.end(), copy.get());
    g_current = copy.get();
    g_currentSize = input.size();
    alarm(timeoutSeconds);
    LLVMFuzzerTestOneInput(copy.get(), input.size());
    alarm(0);
    g_current = nullptr;
}

// libFuzzer's dictionary format: one `name="value"` per line, `#` comments,
// escapes \\ \" and \xNN.
std::vector<Bytes> ReadDictionary(const std::string& path) {
    std::vector<Bytes> tokens;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const size_t open = line.find('"');
        const size_t close = line.rfind('"');
        if (line.empty() || line[0] == '#' || open == std::string::npos || close <= open)
            continue;
        Bytes token;
        for (size_t i = open + 1; i < close; ++i) {
            if (line[i] == '\\' && i + 1 < close) {
                ++i;
                if (line[i] == 'x' && i + 2 < close) {
                    token.push_back(static_cast<uint8_t>(std::stoi(line.substr(i + 1, 2), nullptr, 16)));
                    i += 2;
                    continue;
                }
            }
            token.push_back(static_cast<uint8_t>(line[i]));
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

class Mutator {
public:
    Mutator(uint64_t seed, const std::vector<Bytes>& corpus, const std::vector<Bytes>& dictionary,
            size_t maxSize)
        : random_(seed), corpus_(corpus), dictionary_(dictionary), maxSize_(maxSize) {}

    Bytes Next() {
        Bytes data = corpus_.empty() ? Bytes() : corpus_[Below(corpus_.size())];
        const size_t steps = 1 + Below(4);
        for (size_t i = 0; i < steps; ++i)
            Mutate(data);
        if (data.size() > maxSize_)
            data.resize(maxSize_);
        return data;
    }

private:
    size_t Below(size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random_); }
    uint8_t AnyByte() {
        static const uint8_t kInteresting[] = {'<', '>', '/', '\\', '&', ';', '#', '"', '\'', '.',
                                               '?', '=', ' ', '\n', '\r', '\t', 0, 0x7f, 0x80,
                                               0xc3, 0xe9, 0xef, 0xbb, 0xbf, 0xff};
        return Below(2) ? kInteresting[Below(sizeof kInteresting)] : static_cast<uint8_t>(Below(256));
    }
    const Bytes& Token() { return dictionary_[Below(dictionary_.size())]; }

    void Mutate(Bytes& data) {
        const size_t at = Below(data.size() + 1);
        switch (Below(dictionary_.empty() ? 7 : 9)) {
        case 0: // flip a bit
            if (!data.empty())
                data[Below(data.size())] ^= static_cast<uint8_t>(1u << Below(8));
            break;
        case 1: // replace a byte
            if (!data.empty())
                data[Below(data.size())] = AnyByte();
            break;
        case 2: { // insert a few bytes
            const size_t n = 1 + Below(4);
            for (size_t i = 0; i < n; ++i)
                data.insert(data.begin() + static_cast<long>(at), AnyByte());
            break;
        }
        case 3: { // erase a range
            const size_t n = std::min(data.size() - std::min(at, data.size()), 1 + Below(16));
            data.erase(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n));
            break;
        }
        case 4: { // repeat a range, sometimes many times (deep nesting, long names)
            if (data.empty())
                break;
            const size_t from = Below(data.size());
            const size_t n = 1 + Below(std::min<size_t>(data.size() - from, 32));
            const Bytes piece(data.begin() + static_cast<long>(from), data.begin() + static_cast<long>(from + n));
            const size_t times = Below(8) == 0 ? 1 + Below(2000) : 1;
            for (size_t i = 0; i < times && data.size() < maxSize_; ++i)
                data.insert(data.begin() + static_cast<long>(at), piece.begin(), piece.end());
            break;
        }
        case 5: { // splice with another input
            if (corpus_.empty())
                break;
            const Bytes& other = corpus_[Below(corpus_.size())];
            const size_t from = Below(other.size() + 1);
            data.resize(at);
            data.insert(data.end(), other.begin() + static_cast<long>(from), other.end());
            break;
        }
        case 6: // cut the end off
            data.resize(at);
            break;
        case 7: { // insert a dictionary token
            const Bytes& token = Token();
            data.insert(data.begin() + static_cast<long>(at), token.begin(), token.end());
            break;
        }
        default: { // overwrite with a dictionary token
            const Bytes& token = Token();
            for (size_t i = 0; i < token.size(); ++i) {
                if (at + i < data.size())
                    data[at + i] = token[i];
                else
                    data.push_back(token[i]);
            }
            break;
        }
        }
    }

    std::mt19937_64 random_;
    const std::vector<Bytes>& corpus_;
    const std::vector<Bytes>& dictionary_;
    size_t maxSize_;
};

bool ReadInput(const fs::path& path, Bytes& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 0;
    uint64_t seed = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    unsigned timeout = 30;
    std::vector<Bytes> dictionary;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* flag) -> const char* {
            const size_t n = std::strlen(flag);
            return arg.compare(0, n, flag) == 0 ? argv[i] + n : nullptr;
        };
        if (const char* v = value("-seconds="))
            seconds = std::stod(v);
        else if (const char* v = value("-seed="))
            seed = std::stoull(v);
        else if (const char* v = value("-timeout="))
            timeout = static_cast<unsigned>(std::stoul(v));
        else if (const char* v = value("-dict="))
            dictionary = ReadDictionary(v);
        else if (const char* v = value("-artifact_prefix="))
            std::snprintf(g_prefix, sizeof g_prefix, "%s", v);
        else if (!arg.empty() && arg[0] == '-') {
            std::cerr << "unknown option " << arg << "\n";
            return 2;
        } else {
            std::error_code error;
            if (fs::is_directory(arg, error)) {
                std::vector<fs::path> inFolder;
                for (const auto& entry : fs::directory_iterator(arg, error))
                    if (entry.is_regular_file(error))
                        inFolder.push_back(entry.path());
                std::sort(inFolder.begin(), inFolder.end());
                files.insert(files.end(), inFolder.begin(), inFolder.end());
            } else if (fs::is_regular_file(arg, error)) {
                files.emplace_back(arg);
            } else {
                std::cerr << "skipping " << arg << " (not there)\n";
            }
        }
    }

    for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGALRM})
        std::signal(s, OnFatalSignal);
    if (__sanitizer_set_death_callback != nullptr)
        __sanitizer_set_death_callback(OnSanitizerDeath);

    std::vector<Bytes> corpus;
    size_t largest = 0;
    constexpr size_t kMaxMutatedSize = 64 * 1024;
    for (const fs::path& file : files) {
        Bytes input;
        if (!ReadInput(file, input)) {
            std::cerr << "cannot read " << file << "\n";
            return 2;
        }
        RunOne(input, timeout);
        if (input.size() <= kMaxMutatedSize)
            largest = std::max(largest, input.size());
        corpus.push_back(std::move(input));
    }

    size_t mutated = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto until = start + std::chrono::duration<double>(seconds);
    if (seconds > 0) {
        // Large inputs are run as they are but not mutated: they would slow
        // the search down to a crawl.
        std::vector<Bytes> bases;
        for (const Bytes& input : corpus)
            if (input.size() <= kMaxMutatedSize)
                bases.push_back(input);
        Mutator mutator(seed, bases, dictionary, std::max<size_t>(4096, 2 * largest));
        while (std::chrono::steady_clock::now() < until) {
            for (int batch = 0; batch < 16; ++batch, ++mutated)
                RunOne(mutator.Next(), timeout);
        }
    }
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << argv[0] << ": ran " << corpus.size() << " input files and " << mutated
              << " mutated inputs in " << took << " s (seed " << seed << ")\n";
    return 0;
}
