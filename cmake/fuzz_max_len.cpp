// Added by lp_fuzz(... MAX_LEN N): inputs up to N bytes whatever the corpus holds (libFuzzer would
// otherwise stop at its largest seed or 4 KiB), on every way the target is run; a -max_len given
// on the command line comes later and wins.
#include <string>
#include <vector>

#define LP_STR2(x) #x
#define LP_STR(x) LP_STR2(x)

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static char maxLen[] = "-max_len=" LP_STR(LP_FUZZ_MAX_LEN);
    static std::vector<char*> args;
    args.assign(*argv, *argv + *argc);
    args.insert(args.begin() + 1, maxLen);
    args.push_back(nullptr);
    *argc = int(args.size()) - 1;
    *argv = args.data();
    return 0;
}
