// Clients of LMControl's web API on the loopback, for scripts/perf/web.sh and the hand-off
// measurement under load (certificate checks off: the server is this computer's own).
//
//   web_api_load start PORT TOKEN WORKDIR RUNS
//       RUNS times: POST /api/show/stop, then POST /api/show/start and the µs until display
//       1's job file names row 0; one line per run: "<µs to the answer> <µs to the job>"
//   web_api_load load PORT TOKEN CLIENTS PER_SECOND SECONDS
//       CLIENTS clients, each GET /api/state PER_SECOND times a second; prints
//       "requests failed median_ms p99_ms"
//   web_api_load streams PORT TOKEN COUNT SECONDS
//       COUNT change streams held open and read; prints how many were open at the end
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <httplib.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::unique_ptr<httplib::SSLClient> client(int port) {
    auto made = std::make_unique<httplib::SSLClient>("127.0.0.1", port);
    made->enable_server_certificate_verification(false);
    made->set_connection_timeout(std::chrono::seconds(5));
    made->set_read_timeout(std::chrono::seconds(5));
    made->set_keep_alive(true);
    return made;
}

std::string firstLine(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

long long usSince(Clock::time_point from) {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - from).count();
}

int measureStart(int port, const std::string& token, const std::string& work, int runs) {
    const auto http = client(port);
    const httplib::Headers headers{{"Authorization", "Bearer " + token}};
    const std::string job = work + "/data/LMData1.ini";
    for (int run = 0; run < runs; ++run) {
        http->Post("/api/show/stop", headers, "", "application/json");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const Clock::time_point sent = Clock::now();
        const auto answer = http->Post("/api/show/start", headers, "", "application/json");
        const long long answered = usSince(sent);
        if (!answer || answer->status != 200) {
            std::fprintf(stderr, "start refused\n");
            return 1;
        }
        // A look every 0.2 ms: far finer than what is measured.
        while (firstLine(job) != " 0 ") {
            if (usSince(sent) > 10'000'000) {
                std::fprintf(stderr, "no job for row 0\n");
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        std::printf("%lld %lld\n", answered, usSince(sent));
        std::fflush(stdout);
    }
    return 0;
}

int load(int port, const std::string& token, int clients, int perSecond, int seconds) {
    std::mutex mutex;
    std::vector<double> latencies;
    std::atomic<int> failed{0};
    const Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            const auto http = client(port);
            const httplib::Headers headers{{"Authorization", "Bearer " + token}};
            const auto period = std::chrono::microseconds(1'000'000 / perSecond);
            // The clients' calls are spread over the period, as independent clients' would be.
            Clock::time_point next = Clock::now() + period * c / clients;
            while (next < end) {
                std::this_thread::sleep_until(next);
                const Clock::time_point sent = Clock::now();
                const auto answer = http->Get("/api/state", headers);
                const double ms = static_cast<double>(usSince(sent)) / 1000.0;
                if (!answer || answer->status != 200) {
                    ++failed;
                } else {
                    const std::lock_guard lock(mutex);
                    latencies.push_back(ms);
                }
                next += period;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) {
        return latencies.empty() ? 0.0
                                 : latencies[static_cast<std::size_t>(
                                       q * static_cast<double>(latencies.size() - 1))];
    };
    std::printf("%zu %d %.2f %.2f\n", latencies.size() + static_cast<std::size_t>(failed.load()),
                failed.load(), at(0.5), at(0.99));
    return failed.load() == 0 ? 0 : 1;
}

int holdStreams(int port, const std::string& token, int count, int seconds) {
    std::atomic<int> open{0};
    std::atomic<bool> stop{false};
    std::vector<std::unique_ptr<httplib::SSLClient>> clients;
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        clients.push_back(client(port));
        clients.back()->set_read_timeout(std::chrono::seconds(seconds + 30));
        httplib::SSLClient& http = *clients.back();
        threads.emplace_back([&http, &open, &stop, token] {
            bool counted = false;
            http.Get(
                "/api/events", {{"Authorization", "Bearer " + token}},
                [&](const httplib::Response& response) {
                    if (response.status == 200) {
                        counted = true;
                        ++open;
                    }
                    return response.status == 200;
                },
                [&stop](const char*, std::size_t) { return !stop.load(); });
            if (counted) {
                --open;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    std::printf("%d\n", open.load());
    std::fflush(stdout);
    stop = true;
    for (auto& http : clients) {
        http->stop();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // A stream the server ended is written to once more as it closes: no signal for that.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 5 && args[0] == "start") {
        return measureStart(std::stoi(args[1]), args[2], args[3], std::stoi(args[4]));
    }
    if (args.size() == 6 && args[0] == "load") {
        return load(std::stoi(args[1]), args[2], std::stoi(args[3]), std::stoi(args[4]),
                    std::stoi(args[5]));
    }
    if (args.size() == 5 && args[0] == "streams") {
        return holdStreams(std::stoi(args[1]), args[2], std::stoi(args[3]), std::stoi(args[4]));
    }
    std::fprintf(stderr, "usage: web_api_load start PORT TOKEN WORKDIR RUNS | load PORT TOKEN "
                         "CLIENTS PER_SECOND SECONDS | streams PORT TOKEN COUNT SECONDS\n");
    return 2;
}
