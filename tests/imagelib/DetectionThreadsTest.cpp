// Detection and error diffusion from several threads at once give the
// answers of a sequential run: no analysis reads another's image, size,
// resolution or skip distance.
#include <gtest/gtest.h>

#include <thread>

#include "imagelib/VdSipErrorDiffusion.h"
#include "tests/imagelib/DetectionSupport.h"

namespace {

using sippages::Page;

struct Job {
    Page page;
    detection::Setting setting;
};

std::vector<Job> Jobs()
{
    std::vector<Job> jobs;
    auto add = [&](Page page, uint32_t dpi, uint8_t mode) {
        detection::Setting s;
        s.dpi = dpi;
        s.mode = mode;
        s.color = 5;
        jobs.push_back({std::move(page), s});
    };
    Page text = sippages::Colour(700, 900, 255, 255, 255);
    sippages::TextBlocks(text, 300, 21);
    add(text, 300, 2);
    Page red = sippages::Colour(500, 640, 250, 250, 250);
    sippages::Fill(red, 100, 100, 300, 300, 30, 30, 200);
    add(red, 200, 2);
    add(sippages::Colour(420, 560, 255, 255, 255), 150, 2);
    Page gray = sippages::Gray(1200, 1500, 255);
    sippages::TextBlocks(gray, 600, 22);
    add(gray, 600, 0);
    Page speckled = sippages::Gray(600, 600, 250);
    sippages::Speckle(speckled, 2000, 3);
    add(speckled, 300, 0);
    add(sippages::Colour(300, 300, 128, 128, 128), 100, 1);
    return jobs;
}

TEST(DetectionThreads, ParallelAnswersEqualTheSequentialOnes)
{
    std::vector<Job> jobs = Jobs();
    std::vector<std::pair<int32_t, int32_t>> expected;
    std::vector<std::vector<uint8_t>> diffused;
    auto diffuse = [](const Page& page) {
        if (page.bytesPerPixel != 1)
            return std::vector<uint8_t>();
        const uint32_t stride = (page.width + 31) / 32 * 4;
        std::vector<uint8_t> bits(size_t{stride} * page.height);
        CVdSipErrorDiffusion d;
        d.ExecTwoLevelErrorDiffusion(page.pixels.data(), bits.data(), int32_t(page.width), int32_t(page.height),
                                     int32_t(page.stride), int32_t(stride));
        return bits;
    };
    for (Job& job : jobs) {
        expected.push_back(detection::Detect(job.page, job.setting));
        diffused.push_back(diffuse(job.page));
    }
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round)
                for (size_t i = 0; i < jobs.size(); ++i) {
                    const size_t j = (i + t) % jobs.size();  // each thread in its own order
                    if (detection::Detect(jobs[j].page, jobs[j].setting) != expected[j])
                        ++mismatches[t];
                    if (round == 0 && diffuse(jobs[j].page) != diffused[j])
                        ++mismatches[t];
                }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(mismatches[t], 0) << "thread " << t;
    // The pages do not all give the same answer.
    EXPECT_NE(expected.front(), expected[1]);
}

}  // namespace
