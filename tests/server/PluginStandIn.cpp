#include "PluginStandIn.h"

#include "TestSupport.h"
#include "ipc/IPCMemoryBuffer.h"
#include "ipc/MessageQueue.h"
#include "ipc/ProxyChannel.h"
#include "ipc/ServerLaunch.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>

namespace server_testing {

namespace {

constexpr unsigned sendTimeoutMs = 10000;
constexpr unsigned sliceMs = 100;

std::uint32_t elapsedSince(std::uint32_t start) {
    return platform::tickCount() - start;
}

// Connection names of the plug-in's form: the decimal text of a number. One
// per stand-in, so that a server of an earlier test never meets a later one.
std::string nextConnectionName() {
    static std::atomic<int> counter{1000};
    return std::to_string(counter++);
}

template <typename Sample> void putSample(unsigned char* at, std::uint16_t value) {
    const auto sample = static_cast<Sample>(value);
    std::memcpy(at, &sample, sizeof sample);
}

template <typename Sample> std::uint16_t getSample(const unsigned char* at) {
    Sample sample = 0;
    std::memcpy(&sample, at, sizeof sample);
    return sample;
}

void writeSample(unsigned char* at, int bytesPerSample, std::uint16_t value) {
    if (bytesPerSample == 1) {
        putSample<std::uint8_t>(at, value);
    } else {
        putSample<std::uint16_t>(at, value);
    }
}

std::uint16_t readSample(const unsigned char* at, int bytesPerSample) {
    return bytesPerSample == 1 ? getSample<std::uint8_t>(at) : getSample<std::uint16_t>(at);
}

bool inside(const WireRect& rect, const TestDocument& document) {
    return rect.left >= 0 && rect.top >= 0 && rect.left < rect.right && rect.top < rect.bottom &&
           rect.right <= document.width && rect.bottom <= document.height;
}

} // namespace

msgDocumentInfo TestDocument::describe(std::int32_t selector) const {
    auto info = emptyRecord<msgDocumentInfo>(selector);
    info.version = 1;
    info.bytesPerChannel = static_cast<std::uint8_t>(bytesPerSample);
    info.hasSelectionMask = mask.empty() ? 0 : 1;
    info.hasSelection = mask.empty() ? 0 : 1;
    info.imageRect = WireRect{0, width, 0, height};
    info.wholeRect = info.imageRect;
    info.effectiveRect = effective;
    info.colorModel = static_cast<std::uint8_t>(colorModel);
    info.colorChannels = static_cast<std::uint8_t>(colorChannels);
    info.hasAlpha = hasAlpha ? 1 : 0;
    return info;
}

PluginStandIn::PluginStandIn()
    : connectionName_(nextConnectionName()),
      logPath_(temporaryPath("solvanta-server-" + connectionName_)) {
    const std::uint32_t self = platform::currentProcessId();
    clientChannel_ = std::make_unique<ipc::ProxyChannel>(ipc::create, connectionName_, self);
}

PluginStandIn::~PluginStandIn() {
    if (server_ && serverRunning()) {
        server_->terminate(1);
        server_->waitForExit(10000);
    }
    serverChannel_.reset();
    clientChannel_.reset();
    std::error_code ignored;
    std::filesystem::remove(logPath_, ignored);
}

bool PluginStandIn::launch(const Environment& environment) {
    Environment variables = environment;
    variables.emplace_back("SOLVANTA_SERVER_LOG", logPath_);
    const ScopedEnvironment scope(variables);
    const std::string path = testing_support::helperPath("solvanta-server");
    const platform::LaunchResult launched =
        platform::launch(path, ipc::launchArguments(connectionName_, platform::currentProcessId()));
    if (!launched.process) {
        ADD_FAILURE() << "cannot start " << path << " (error " << launched.error << ")";
        return false;
    }
    server_ = launched.process;
    return true;
}

std::uint32_t PluginStandIn::serverPid() const {
    return server_ ? server_->id() : 0;
}

bool PluginStandIn::serverRunning() const {
    std::uint32_t code = 0;
    return server_ && server_->exitCode(code) && code == platform::kStillActive;
}

std::optional<std::uint32_t> PluginStandIn::waitForExit(std::uint32_t timeoutMs) {
    if (!server_ || !server_->waitForExit(timeoutMs)) {
        return std::nullopt;
    }
    std::uint32_t code = 0;
    if (!server_->exitCode(code)) {
        return std::nullopt;
    }
    return code;
}

bool PluginStandIn::connect(std::uint32_t timeoutMs) {
    Cell cell{};
    if (!send(emptyRecord<msgBase>(msg::ping)) || !awaitAnswer(cell, timeoutMs) ||
        cell.selector() != msg::pingResponse) {
        return false;
    }
    serverChannel_ = std::make_unique<ipc::ProxyChannel>(ipc::open, connectionName_, serverPid());
    return true;
}

void PluginStandIn::attachAgain() {
    serverChannel_.reset();
    clientChannel_.reset();
    const std::uint32_t self = platform::currentProcessId();
    clientChannel_ = std::make_unique<ipc::ProxyChannel>(ipc::open, connectionName_, self);
    serverChannel_ = std::make_unique<ipc::ProxyChannel>(ipc::open, connectionName_, serverPid());
}

bool PluginStandIn::sendBytes(const void* data, std::size_t size) {
    return ipc::sendWithin(clientChannel_->requestQueue(), data, size, sendTimeoutMs);
}

bool PluginStandIn::awaitAnswer(Cell& cell, std::uint32_t timeoutMs) {
    const std::uint32_t start = platform::tickCount();
    std::size_t size = 0;
    do {
        const bool running = serverRunning();
        if (clientChannel_->receive(cell.bytes, sizeof cell.bytes, size, sliceMs)) {
            return true;
        }
        if (!running) {
            return false;
        }
    } while (elapsedSince(start) < timeoutMs);
    return false;
}

bool PluginStandIn::sync() {
    Cell cell{};
    return send(emptyRecord<msgBase>(msg::ping)) && awaitAnswer(cell) &&
           cell.selector() == msg::pingResponse;
}

bool PluginStandIn::awaitRequest(Cell& cell, std::uint32_t timeoutMs) {
    if (!serverChannel_) {
        ADD_FAILURE() << "the server channel is not open";
        return false;
    }
    const std::uint32_t start = platform::tickCount();
    std::size_t size = 0;
    do {
        const bool running = serverRunning();
        if (serverChannel_->receiveRequest(cell.bytes, sizeof cell.bytes, size, sliceMs)) {
            return true;
        }
        if (!running) {
            return false;
        }
    } while (elapsedSince(start) < timeoutMs);
    return false;
}

bool PluginStandIn::respondBytes(const void* data, std::size_t size) {
    return ipc::sendWithin(serverChannel_->responseQueue(), data, size, sendTimeoutMs);
}

std::optional<std::int32_t> PluginStandIn::settingsSize() {
    const auto answer = post<msgGetParametersSizeResponse>(
        emptyRecord<msgBase>(msg::getParametersSize), msg::getParametersSizeResponse);
    if (!answer) {
        return std::nullopt;
    }
    return answer->size;
}

std::optional<std::string> PluginStandIn::fetchSettings(std::int32_t size) {
    ipc::IPCMemoryBuffer text(ipc::create, "GetParams",
                              std::to_string(platform::currentProcessId()), size,
                              ipc::UniqueSuffix::counter);
    auto request = emptyRecord<msgGetParameters>(msg::getParameters);
    copyName(request.bufferName, text.name());
    const auto answer = post<msgGetParametersResponse>(request, msg::getParametersResponse);
    if (!answer || answer->status != 0) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(text.data()), static_cast<std::size_t>(size));
}

std::optional<std::string> PluginStandIn::fetchSettings() {
    const std::optional<std::int32_t> size = settingsSize();
    if (!size || *size < 1) {
        return std::nullopt;
    }
    return fetchSettings(*size);
}

std::optional<std::int32_t> PluginStandIn::storeSettings(const std::string& text) {
    ipc::IPCMemoryBuffer buffer(ipc::create, "SetParams",
                                std::to_string(platform::currentProcessId()),
                                static_cast<int>(text.size()), ipc::UniqueSuffix::counter);
    if (!text.empty()) {
        std::memcpy(buffer.data(), text.data(), text.size());
    }
    auto request = emptyRecord<msgSetParameters>(msg::setParameters);
    copyName(request.bufferName, buffer.name());
    const auto answer = post<msgSetParametersResponse>(request, msg::setParametersResponse);
    if (!answer) {
        return std::nullopt;
    }
    return answer->status;
}

ipc::IPCMemoryBuffer& PluginStandIn::buffer(const std::string& name) {
    for (auto& [known, open] : buffers_) {
        if (known == name) {
            return *open;
        }
    }
    auto opened = std::make_unique<ipc::IPCMemoryBuffer>(ipc::open, name);
    buffers_.emplace_back(name, std::move(opened));
    return *buffers_.back().second;
}

RenderTranscript PluginStandIn::serveRender(TestDocument& document, const RenderScript& script) {
    RenderTranscript transcript;
    const int channels = document.totalChannels();
    const int bps = document.bytesPerSample;
    const auto pixelBytes = static_cast<std::size_t>(channels) * static_cast<std::size_t>(bps);
    if (document.output.empty()) {
        document.output = document.pixels;
    }
    for (;;) {
        Cell cell{};
        if (!awaitRequest(cell)) {
            ADD_FAILURE() << "the server sent nothing more during the render";
            return transcript;
        }
        const std::int32_t selector = cell.selector();
        if (selector == msg::readInput) {
            const auto read = cell.as<msgReadInputRequest>();
            transcript.reads.push_back(read.rect);
            transcript.imageBuffers.push_back(fieldName(read.bufferName));
            EXPECT_EQ(read.step, 1);
            EXPECT_EQ(read.deliver8Bit, 0);
            EXPECT_EQ(read.bytesPerSample, bps) << "the document's own sample size";
            EXPECT_EQ(read.colorModel, document.colorModel);
            EXPECT_EQ(read.colorChannels, document.colorChannels);
            EXPECT_EQ(read.hasAlpha, document.hasAlpha ? 1 : 0);
            EXPECT_TRUE(inside(read.rect, document));
            const int w = read.rect.right - read.rect.left;
            const int h = read.rect.bottom - read.rect.top;
            const auto rowBytes = static_cast<std::size_t>(read.minRowBytes);
            EXPECT_GE(rowBytes, static_cast<std::size_t>(w) * pixelBytes);
            ipc::IPCMemoryBuffer& shared = buffer(fieldName(read.bufferName));
            EXPECT_TRUE(shared.contains(0, rowBytes * static_cast<std::size_t>(h)));
            auto answer = emptyRecord<msgReadInputResponse>(msg::readInputResponse);
            if (inside(read.rect, document) && shared.contains(0, rowBytes * h)) {
                for (int y = 0; y < h; ++y) {
                    for (int x = 0; x < w; ++x) {
                        for (int c = 0; c < channels; ++c) {
                            writeSample(shared.data() + static_cast<std::size_t>(y) * rowBytes +
                                            static_cast<std::size_t>(x) * pixelBytes +
                                            static_cast<std::size_t>(c * bps),
                                        bps,
                                        document.pixels[document.sampleIndex(
                                            read.rect.left + x, read.rect.top + y, c)]);
                        }
                    }
                }
            }
            if (static_cast<int>(transcript.reads.size()) == script.failingRead) {
                answer.result = script.readResult;
            }
            EXPECT_TRUE(respond(answer));
        } else if (selector == msg::readMask) {
            const auto read = cell.as<msgReadMaskRequest>();
            transcript.masks.push_back(read.rect);
            EXPECT_EQ(read.declined, 0);
            EXPECT_EQ(read.channels, 1);
            EXPECT_EQ(read.bytesPerSample, bps);
            EXPECT_TRUE(inside(read.rect, document));
            const int w = read.rect.right - read.rect.left;
            const int h = read.rect.bottom - read.rect.top;
            const auto rowBytes = static_cast<std::size_t>(read.minRowBytes);
            ipc::IPCMemoryBuffer& shared = buffer(fieldName(read.bufferName));
            auto answer = emptyRecord<msgReadMaskResponse>(msg::readMaskResponse);
            if (!document.mask.empty() && inside(read.rect, document) &&
                shared.contains(0, rowBytes * h)) {
                for (int y = 0; y < h; ++y) {
                    for (int x = 0; x < w; ++x) {
                        writeSample(shared.data() + static_cast<std::size_t>(y) * rowBytes +
                                        static_cast<std::size_t>(x * bps),
                                    bps,
                                    document.mask[static_cast<std::size_t>(read.rect.top + y) *
                                                      static_cast<std::size_t>(document.width) +
                                                  static_cast<std::size_t>(read.rect.left + x)]);
                    }
                }
                answer.copied = 1;
            }
            EXPECT_TRUE(respond(answer));
        } else if (selector == msg::writeOutput) {
            const auto write = cell.as<msgWriteOutputRequest>();
            transcript.writes.push_back(write.rect);
            transcript.imageBuffers.push_back(fieldName(write.bufferName));
            EXPECT_EQ(write.bytesPerSample, bps);
            EXPECT_EQ(write.colorModel, document.colorModel);
            EXPECT_EQ(write.colorChannels, document.colorChannels);
            EXPECT_EQ(write.hasAlpha, document.hasAlpha ? 1 : 0);
            EXPECT_TRUE(inside(write.rect, document));
            const int w = write.rect.right - write.rect.left;
            const int h = write.rect.bottom - write.rect.top;
            const auto rowBytes = static_cast<std::size_t>(write.minRowBytes);
            ipc::IPCMemoryBuffer& shared = buffer(fieldName(write.bufferName));
            if (inside(write.rect, document) && shared.contains(0, rowBytes * h)) {
                for (int y = 0; y < h; ++y) {
                    for (int x = 0; x < w; ++x) {
                        for (int c = 0; c < channels; ++c) {
                            document.output[document.sampleIndex(write.rect.left + x,
                                                                 write.rect.top + y, c)] =
                                readSample(shared.data() + static_cast<std::size_t>(y) * rowBytes +
                                               static_cast<std::size_t>(x) * pixelBytes +
                                               static_cast<std::size_t>(c * bps),
                                           bps);
                        }
                    }
                }
            }
            // Sent as a message of the plug-in's own, not as an answer.
            auto answer = emptyRecord<msgWriteOutputResponse>(msg::writeOutputResponse);
            if (static_cast<int>(transcript.writes.size()) == script.failingWrite) {
                answer.result = script.writeResult;
            }
            EXPECT_TRUE(send(answer));
        } else if (selector == msg::progress) {
            transcript.progress.push_back(cell.as<msgProgress>());
            if (static_cast<int>(transcript.progress.size()) == script.abortAfterProgress) {
                auto abort = emptyRecord<msgAbort>(msg::progress);
                abort.code = 1000;
                EXPECT_TRUE(send(abort));
            }
        } else if (selector == msg::finish || selector == msg::cancel ||
                   selector == msg::endWithError) {
            transcript.endSelector = selector;
            if (selector == msg::endWithError) {
                transcript.endCode = cell.as<msgEndWithError>().code;
            }
            if (selector == msg::finish) {
                EXPECT_TRUE(send(emptyRecord<msgBase>(msg::finishAcknowledged)));
            }
            return transcript;
        } else {
            ADD_FAILURE() << "unexpected request " << selector << " during a render";
            return transcript;
        }
    }
}

std::optional<std::uint32_t> PluginStandIn::endConnection() {
    if (!send(emptyRecord<msgBase>(msg::endConnection))) {
        return std::nullopt;
    }
    return waitForExit();
}

std::string PluginStandIn::log() const {
    return fileText(logPath_);
}

bool PluginStandIn::logContains(const std::string& text) const {
    return log().find(text) != std::string::npos;
}

} // namespace server_testing
