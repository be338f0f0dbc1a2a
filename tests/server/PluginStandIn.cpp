#include "PluginStandIn.h"

#include "TestSupport.h"
#include "ipc/IPCMemoryBuffer.h"
#include "ipc/MessageQueue.h"
#include "ipc/ProxyChannel.h"
#include "ipc/QueueNames.h"
#include "ipc/ServerLaunch.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Process.h"
#include "proxy/NamedBuffers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
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

// Reads and writes name the document's own layout.
template <typename Request>
void expectLayout(const Request& request, const TestDocument& document) {
    EXPECT_EQ(request.bytesPerSample, document.bytesPerSample);
    EXPECT_EQ(request.colorModel, document.colorModel);
    EXPECT_EQ(request.colorChannels, document.colorChannels);
    EXPECT_EQ(request.hasAlpha, document.hasAlpha ? 1 : 0);
}

} // namespace

msgDocumentInfo TestDocument::describe(std::int32_t selector) const {
    auto info = emptyRecord<msgDocumentInfo>(selector);
    info.version = 1;
    info.bytesPerChannel = static_cast<std::uint8_t>(bytesPerSample);
    info.hasSelectionMask = hasMask ? 1 : 0;
    info.hasSelection = hasMask ? 1 : 0;
    info.imageRect = WireRect{0, width, 0, height};
    info.wholeRect = info.imageRect;
    info.effectiveRect = effective;
    info.colorModel = static_cast<std::uint8_t>(colorModel);
    info.colorChannels = static_cast<std::uint8_t>(colorChannels);
    info.hasAlpha = hasAlpha ? 1 : 0;
    return info;
}

TestDocument makeDocument(int width, int height, int colorChannels, bool hasAlpha,
                          int bytesPerSample) {
    TestDocument document;
    document.width = width;
    document.height = height;
    document.colorModel = colorChannels == 1 ? 4 : 0;
    document.colorChannels = colorChannels;
    document.hasAlpha = hasAlpha;
    document.bytesPerSample = bytesPerSample;
    document.effective = WireRect{0, width, 0, height};
    return document;
}

msgHostSettings hostSettings() {
    auto settings = emptyRecord<msgHostSettings>(msg::hostSettings);
    const std::uint16_t foreground[4] = {10, 20, 30, 255};
    std::memcpy(settings.foreground, foreground, sizeof foreground);
    return settings;
}

void claimSize(ipc::IPCMemoryBuffer& buffer, std::int64_t size) {
    std::memcpy(buffer.data() - ipc::IPCMemoryBuffer::headerSize, &size, sizeof size);
}

PluginStandIn::PluginStandIn()
    : connectionName_(nextConnectionName()),
      logPath_(temporaryPath("solvanta-server-" + connectionName_)),
      clientChannel_(std::make_unique<ipc::ProxyChannel>(ipc::create, connectionName_,
                                                         platform::currentProcessId())) {}

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

bool PluginStandIn::start(const Environment& environment) {
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
    if (!sync()) {
        ADD_FAILURE() << "no answer to the first ping\n" << log();
        return false;
    }
    serverChannel_ = std::make_unique<ipc::ProxyChannel>(ipc::open, connectionName_, server_->id());
    return true;
}

bool PluginStandIn::serverRunning() const {
    std::uint32_t code = 0;
    return server_ && server_->exitCode(code) && code == platform::kStillActive;
}

std::optional<std::uint32_t> PluginStandIn::waitForExit(std::uint32_t timeoutMs) {
    std::uint32_t code = 0;
    if (!server_ || !server_->waitForExit(timeoutMs) || !server_->exitCode(code)) {
        return std::nullopt;
    }
    return code;
}

bool PluginStandIn::sendBytes(const void* data, std::size_t size) {
    return ipc::sendWithin(clientChannel_->requestQueue(), data, size, sendTimeoutMs);
}

bool PluginStandIn::awaitAnswer(Cell& cell, std::uint32_t timeoutMs) {
    return receiveWhileRunning(timeoutMs, [&](std::size_t& size) {
        return clientChannel_->receive(cell.bytes, sizeof cell.bytes, size, sliceMs);
    });
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
    return receiveWhileRunning(timeoutMs, [&](std::size_t& size) {
        return serverChannel_->receiveRequest(cell.bytes, sizeof cell.bytes, size, sliceMs);
    });
}

template <typename Receive>
bool PluginStandIn::receiveWhileRunning(std::uint32_t timeoutMs, Receive receive) const {
    const std::uint32_t start = platform::tickCount();
    std::size_t size = 0;
    do {
        // Looked at before the receive: a record sent just before the end
        // still counts.
        const bool running = serverRunning();
        if (receive(size)) {
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
    return answer ? std::optional<std::int32_t>(answer->size) : std::nullopt;
}

std::optional<std::string> PluginStandIn::fetchSettings(std::int32_t size) {
    ipc::IPCMemoryBuffer text(ipc::create, "GetParams",
                              std::to_string(platform::currentProcessId()), size,
                              ipc::UniqueSuffix::counter);
    auto request = emptyRecord<msgGetParameters>(msg::getParameters);
    proxy::copyBufferName(request.bufferName, text.name());
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
    proxy::copyBufferName(request.bufferName, buffer.name());
    const auto answer = post<msgSetParametersResponse>(request, msg::setParametersResponse);
    return answer ? std::optional<std::int32_t>(answer->status) : std::nullopt;
}

ipc::IPCMemoryBuffer& PluginStandIn::buffer(const std::string& name) {
    std::unique_ptr<ipc::IPCMemoryBuffer>& open = buffers_[name];
    if (!open) {
        open = std::make_unique<ipc::IPCMemoryBuffer>(ipc::open, name);
    }
    return *open;
}

bool PluginStandIn::fits(const WireRect& rect, std::int32_t rowBytes, const std::string& bufferName,
                         const TestDocument& document, std::size_t pixelBytes) {
    const bool inside = rect.left >= 0 && rect.top >= 0 && rect.left < rect.right &&
                        rect.top < rect.bottom && rect.right <= document.width &&
                        rect.bottom <= document.height;
    const auto width = static_cast<std::size_t>(rect.right - rect.left);
    const auto rows = static_cast<std::size_t>(rect.bottom - rect.top);
    return inside && rowBytes >= 0 && static_cast<std::size_t>(rowBytes) >= width * pixelBytes &&
           buffer(bufferName).contains(0, static_cast<std::size_t>(rowBytes) * rows);
}

RenderTranscript PluginStandIn::serveRender(const TestDocument& document,
                                            const RenderScript& script) {
    RenderTranscript transcript;
    const auto sampleBytes = static_cast<std::size_t>(document.bytesPerSample);
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
            transcript.imageBuffers.push_back(msg::fieldText(read.bufferName));
            EXPECT_EQ(read.step, 1);
            EXPECT_EQ(read.deliver8Bit, 0);
            expectLayout(read, document);
            EXPECT_TRUE(fits(read.rect, read.minRowBytes, transcript.imageBuffers.back(), document,
                             document.pixelBytes()));
            auto answer = emptyRecord<msgReadInputResponse>(msg::readInputResponse);
            if (static_cast<int>(transcript.reads.size()) == script.failingRead) {
                answer.result = script.readResult;
            }
            EXPECT_TRUE(respond(answer));
        } else if (selector == msg::readMask) {
            const auto read = cell.as<msgReadMaskRequest>();
            transcript.masks.push_back(read.rect);
            EXPECT_EQ(read.declined, 0);
            EXPECT_EQ(read.channels, 1);
            EXPECT_EQ(read.bytesPerSample, document.bytesPerSample);
            EXPECT_TRUE(fits(read.rect, read.minRowBytes, msg::fieldText(read.bufferName), document,
                             sampleBytes));
            auto answer = emptyRecord<msgReadMaskResponse>(msg::readMaskResponse);
            answer.copied = 1;
            EXPECT_TRUE(respond(answer));
        } else if (selector == msg::writeOutput) {
            const auto write = cell.as<msgWriteOutputRequest>();
            transcript.writes.push_back(write.rect);
            transcript.imageBuffers.push_back(msg::fieldText(write.bufferName));
            expectLayout(write, document);
            EXPECT_TRUE(fits(write.rect, write.minRowBytes, transcript.imageBuffers.back(),
                             document, document.pixelBytes()));
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
        } else {
            EXPECT_TRUE(selector == msg::finish || selector == msg::cancel ||
                        selector == msg::endWithError)
                << "unexpected request " << selector << " during a render";
            transcript.endSelector = selector;
            if (selector == msg::endWithError) {
                transcript.endCode = cell.as<msgEndWithError>().code;
            }
            if (selector == msg::finish) {
                EXPECT_TRUE(send(emptyRecord<msgBase>(msg::finishAcknowledged)));
            }
            return transcript;
        }
    }
}

std::optional<std::uint32_t> PluginStandIn::endConnection() {
    return send(emptyRecord<msgBase>(msg::endConnection)) ? waitForExit() : std::nullopt;
}

std::string PluginStandIn::log() const {
    return fileText(logPath_);
}

bool PluginStandIn::logContains(const std::string& text) const {
    return log().find(text) != std::string::npos;
}

} // namespace server_testing
