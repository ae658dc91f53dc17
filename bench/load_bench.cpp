#include "bench/load_bench.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "bench/bench_support.h"
#include "bench/raw_sql.h"

extern "C" char** environ;

namespace officerecords {

namespace {

// A register the workstations add to, and what a clerk types for a new
// record of it; the workstation and the save's number make each one's text
// its own.
struct load_register {
    const char* window;
    const char* table;
    const char* typing;  // lines with %d (workstation) and %d (save)
};

constexpr load_register k_registers[] = {
    {"w_m_og_assetregister", "tc_og_assetregister", "type goodsname 文件柜%d-%d\ntype goodscount 1\n"},
    {"w_m_og_incomemoneyrecord", "tc_og_incomemoneyrecord", "type handleperson 张伟%d-%d\ntype moneysum 120.50\n"},
    {"w_m_og_moneyoutgorecord", "tc_og_moneyoutgorecord", "type usenote 购买办公用品%d-%d\ntype moneysum 35.80\n"},
    {"w_m_og_dailyworkrecord", "tc_og_dailyworkrecord", "type meetname 居委会例会%d-%d\n"},
};
constexpr int k_register_count = sizeof k_registers / sizeof k_registers[0];

// The script of one workstation: its saves in turn over the registers,
// each window opened for the new record and closed after its save.
std::string workstation_script(int workstation, int saves) {
    std::string script = "today 2026-12-08\n";
    char typing[256];
    for (int i = 0; i < saves; ++i) {
        const load_register& r = k_registers[(i + workstation) % k_register_count];
        std::snprintf(typing, sizeof typing, r.typing, workstation, i);
        script += std::string("open ") + r.window + " 添加\n" + typing + "click cb_save\nclose\n";
    }
    return script;
}

pid_t start_workstation(const std::filesystem::path& cli, const std::string& script, const std::string& db,
                        const std::string& transcript) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, transcript.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const std::string program = cli.string();
    std::vector<std::string> argv = {program, "run", script, "--db", db};
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) perf_fail("cannot start " + program);
    return pid;
}

std::string read_all(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The saves a transcript shows as done: a save that did not go through
// shows its message, and the window is asked about its edit on close.
int acknowledged(const std::string& transcript, int saves, std::string& trouble) {
    std::istringstream lines(transcript);
    int refused = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("message ", 0) == 0 || line.rfind("error", 0) == 0) {
            if (trouble.empty()) trouble = line;
            ++refused;
        }
    }
    return saves - refused;
}

struct register_count {
    std::int64_t rows = 0, numbers = 0;
};

register_count count_of(raw_connection& db, const char* table) {
    const std::string t(table);
    return {db.number(db.prepare("SELECT count(*) FROM " + t)),
            db.number(db.prepare("SELECT count(DISTINCT orderno) FROM " + t))};
}

}  // namespace

void workstation_load(const std::filesystem::path& cli, const std::string& backend, const fresh_database& fresh,
                      const std::filesystem::path& folder, const load_plan& plan, std::vector<measurement>& out) {
    for (int workstations : plan.workstations) {
        // A server folds an unquoted name to lower case: the name is given so.
        std::string tag = backend + "_" + std::to_string(workstations);
        for (char& c : tag) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::string db = fresh("load_" + tag);
        std::vector<register_count> before;
        {
            auto raw = raw_connection::open(db);
            for (const load_register& r : k_registers) before.push_back(count_of(*raw, r.table));
        }
        std::vector<std::string> scripts, transcripts;
        for (int w = 0; w < workstations; ++w) {
            const std::string base = (folder / (tag + "_" + std::to_string(w))).string();
            scripts.push_back(base + ".script");
            transcripts.push_back(base + ".out");
            std::ofstream(scripts.back()) << workstation_script(w, plan.saves);
        }
        const auto start = std::chrono::steady_clock::now();
        std::vector<pid_t> running;
        for (int w = 0; w < workstations; ++w)
            running.push_back(start_workstation(cli, scripts[w], db, transcripts[w]));
        bool ended_well = true;
        for (pid_t pid : running) {
            int status = 0;
            waitpid(pid, &status, 0);
            ended_well = ended_well && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        std::string trouble;
        long long acked = 0;
        for (const std::string& t : transcripts) acked += acknowledged(read_all(t), plan.saves, trouble);
        const long long sent = static_cast<long long>(workstations) * plan.saves;
        if (!ended_well || acked != sent)
            perf_fail(backend + ", " + std::to_string(workstations) + " workstations: " + std::to_string(sent - acked) +
                 " of " + std::to_string(sent) + " saves failed" + (trouble.empty() ? "" : ": " + trouble) +
                 (ended_well ? "" : " (a program ended with a failure)"));
        // Each workstation's saves go to the registers in turn from its own
        // starting one: the records each register must have gained.
        std::vector<long long> gained(k_register_count, 0);
        for (int w = 0; w < workstations; ++w)
            for (int i = 0; i < plan.saves; ++i) ++gained[(i + w) % k_register_count];
        auto raw = raw_connection::open(db);
        for (int r = 0; r < k_register_count; ++r) {
            const register_count now = count_of(*raw, k_registers[r].table);
            const long long want = before[r].rows + gained[r];
            if (now.rows != want || now.numbers != now.rows)
                perf_fail(backend + ", " + std::to_string(workstations) + " workstations: " + k_registers[r].table +
                     " holds " + std::to_string(now.rows) + " records under " + std::to_string(now.numbers) +
                     " numbers, where " + std::to_string(want) + " records were acknowledged");
        }
        measurement m{"load: time per save, workstations adding at once (" + std::to_string(plan.saves) +
                          " each, " + std::to_string(k_register_count) + " registers)",
                      std::to_string(workstations) + (workstations == 1 ? " workstation" : " workstations"),
                      backend,
                      "ms",
                      {seconds * 1e3 / static_cast<double>(sent)},
                      {},
                      {},
                      // Per acknowledged save, the whole run's wall time over
                      // every save: contention must not make a save cost more
                      // than a clerk waits for without noticing.
                      100,
                      {}};
        char note[160];
        std::snprintf(note, sizeof note, "%lld saves in %.1f s, every one found afterwards, no number twice", sent,
                      seconds);
        m.note = note;
        out.push_back(m);
        std::fprintf(stderr, "load: %s, %d workstations x %d saves: %.2f s\n", backend.c_str(), workstations,
                     plan.saves, seconds);
    }
}

}  // namespace officerecords
