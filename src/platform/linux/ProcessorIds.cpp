#include "platform/linux/ProcessorIds.h"

#include <sched.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <cerrno>
#include <charconv>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <string_view>

namespace kiv {

namespace {

// Far above any kernel's processor limit; a larger number in the list is not a processor.
constexpr int kMaxProcessor = 65535;

// A processor set sized for `count` processors (cpu_set_t holds only 1024).
class TProcessorSet {
public:
    explicit TProcessorSet(std::size_t count)
        : count_(count), size_(CPU_ALLOC_SIZE(count)), set_(CPU_ALLOC(count)) {
        if (set_ != nullptr) CPU_ZERO_S(size_, set_);
    }
    ~TProcessorSet() {
        if (set_ != nullptr) CPU_FREE(set_);
    }
    TProcessorSet(const TProcessorSet&) = delete;
    TProcessorSet& operator=(const TProcessorSet&) = delete;

    bool valid() const { return set_ != nullptr; }
    std::size_t count() const { return count_; }
    std::size_t size() const { return size_; }
    cpu_set_t* get() const { return set_; }

private:
    std::size_t count_;
    std::size_t size_;
    cpu_set_t* set_;
};

// The calling thread's affinity, in a set large enough for the kernel's processor count.
std::unique_ptr<TProcessorSet> CurrentAffinity() {
    for (std::size_t count = 1024; count <= 1u << 20; count *= 2) {
        auto set = std::make_unique<TProcessorSet>(count);
        if (!set->valid()) return nullptr;
        if (::sched_getaffinity(0, set->size(), set->get()) == 0) return set;
        if (errno != EINVAL) return nullptr;
    }
    return nullptr;
}

bool RestrictTo(int processor) {
    TProcessorSet set(static_cast<std::size_t>(processor) + 1);
    if (!set.valid()) return false;
    CPU_SET_S(static_cast<std::size_t>(processor), set.size(), set.get());
    return ::sched_setaffinity(0, set.size(), set.get()) == 0;
}

// Puts the affinity back however the reading ends.
class TAffinityRestorer {
public:
    explicit TAffinityRestorer(const TProcessorSet& original) : original_(original) {}
    ~TAffinityRestorer() { ::sched_setaffinity(0, original_.size(), original_.get()); }
    TAffinityRestorer(const TAffinityRestorer&) = delete;
    TAffinityRestorer& operator=(const TAffinityRestorer&) = delete;

private:
    const TProcessorSet& original_;
};

std::optional<TCpuIdLeaf1> RunCpuIdLeaf1() {
#if defined(__x86_64__) || defined(__i386__)
    TCpuIdLeaf1 leaf;
    if (__get_cpuid(1, &leaf.eax, &leaf.ebx, &leaf.ecx, &leaf.edx) == 0) return std::nullopt;
    return leaf;
#else
    return std::nullopt;
#endif
}

bool ParseNumber(std::string_view text, int& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0 && value <= kMaxProcessor;
}

}  // namespace

std::optional<std::vector<int>> OnlineProcessors(const std::filesystem::path& sysRoot) {
    std::ifstream file(sysRoot / "devices/system/cpu/online", std::ios::binary);
    if (!file) {
        const long count = ::sysconf(_SC_NPROCESSORS_ONLN);
        if (count < 1 || count > kMaxProcessor + 1) return std::nullopt;
        std::vector<int> all;
        for (int n = 0; n < count; ++n) all.push_back(n);
        return all;
    }
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    std::set<int> processors;
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const std::size_t dash = item.find('-');
        int first = 0;
        int last = 0;
        if (!ParseNumber(item.substr(0, dash), first)) return std::nullopt;
        last = first;
        if (dash != std::string_view::npos && !ParseNumber(item.substr(dash + 1), last)) return std::nullopt;
        if (last < first) return std::nullopt;
        for (int n = first; n <= last; ++n) processors.insert(n);
    }
    if (processors.empty()) return std::nullopt;
    return std::vector<int>(processors.begin(), processors.end());
}

std::optional<std::vector<TCpuIdLeaf1>> ReadCpuIdPerProcessor(const std::filesystem::path& sysRoot) {
    const auto processors = OnlineProcessors(sysRoot);
    if (!processors) return std::nullopt;
    const auto original = CurrentAffinity();
    if (!original) return std::nullopt;
    const TAffinityRestorer restorer(*original);
    std::vector<TCpuIdLeaf1> leaves;
    for (int processor : *processors) {
        if (!RestrictTo(processor)) return std::nullopt;
        const auto leaf = RunCpuIdLeaf1();
        if (!leaf) return std::nullopt;
        leaves.push_back(*leaf);
    }
    return leaves;
}

}  // namespace kiv
