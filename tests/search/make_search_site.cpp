// Writes the sample archive's search index and stand-in thread pages into a folder, for the
// browser test of the search page: make_search_site SITE.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "search/SearchIndex.h"
#include "tests/search/SampleSite.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_search_site SITE\n", stderr);
        return 2;
    }
    const std::filesystem::path site = argv[1];
    horofu::SearchIndexUpdate update(site.string());
    std::vector<horofu::SearchThread> threads = horofu::testing::SampleThreads();
    threads.push_back(horofu::testing::ManyPostsThread());
    for (const horofu::SearchThread& thread : threads) {
        std::filesystem::create_directories(site / thread.board);
        std::ofstream(site / thread.board / (thread.key + ".html"), std::ios::binary)
            << horofu::testing::StandInPage(thread);
        update.Put(thread);
    }
    std::ofstream(site / "index.html", std::ios::binary) << "<!DOCTYPE html><title>site</title>";
    std::string error;
    if (!update.Commit(error)) {
        std::fprintf(stderr, "make_search_site: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
