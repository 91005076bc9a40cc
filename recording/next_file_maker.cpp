#include "recording/next_file_maker.h"

#include "engine/wave_file.h"
#include "recording/file_naming.h"

#include <mutex>
#include <utility>

// What the maker thread hands back once MADE. A making the window no longer wants is ABANDONED:
// the maker then removes what it made.
struct NextFileMaker::Making {
    std::mutex lock;
    enum Stage { MAKING, MADE, ABANDONED } stage = MAKING;
    Made made;
};

namespace {

void Remove(NextFileMaker::Made& made) {
    made.next.file.Close();
    RemoveMade(made.next.name, made.madeFolder);
}

} // namespace

NextFileMaker::Made NextFileMaker::Make(const Order& order) {
    Made made;
    made.naming = order.naming;
    made.countBefore = order.naming.count;
    made.typedPart = order.typedPart;
    std::wstring path;
    const auto create = [&](const std::wstring& name) {
        RecordingFailure failure;
        if (CWaveFile::CreateWithHeader(made.next.file, FileSystemPath(name),
                                        RawFile::CREATE_NEW_ONLY, order.format, &failure))
            return RecordingFailure();
        failure.path = name;
        return failure;
    };
    if (order.sequential) {
        made.failure = TakeFreeName(
            path, made.madeFolder,
            [&](std::wstring& name, std::wstring& folder) {
                return NextSequentialPath(made.naming, name, folder);
            },
            create);
    } else {
        made.failure = TakeFreeName(
            path, made.madeFolder,
            [&](std::wstring& name, std::wstring&) {
                name = NumberedName(order.typedName, ++made.typedPart);
                return RecordingFailure();
            },
            create);
    }
    if (!made.next.file.IsOpen()) {
        RemoveMade(L"", made.madeFolder);
        path.clear();
    }
    made.next.name = path;
    return made;
}

void NextFileMaker::Start(const Order& order, std::function<void()> made) {
    Abandon();
    auto making = std::make_shared<Making>();
    m_making = making;
    m_thread = std::thread([making, order, made = std::move(made)] {
        Made result = Make(order);
        {
            std::lock_guard<std::mutex> lock(making->lock);
            if (making->stage == Making::MAKING) {
                making->stage = Making::MADE;
                making->made = std::move(result);
                if (made)
                    made();
                return;
            }
        }
        Remove(result); // no longer wanted: the recording has ended
    });
}

NextFileMaker::Made NextFileMaker::Take() {
    if (m_thread.joinable())
        m_thread.join();
    Made made;
    if (m_making)
        made = std::move(m_making->made);
    m_making.reset();
    return made;
}

void NextFileMaker::Abandon() {
    if (!m_making)
        return;
    std::shared_ptr<Making> making = std::move(m_making);
    bool made;
    {
        std::lock_guard<std::mutex> lock(making->lock);
        made = making->stage == Making::MADE;
        if (!made)
            making->stage = Making::ABANDONED;
    }
    if (!made) {
        m_thread.detach();
        return;
    }
    m_thread.join();
    std::thread([making] { Remove(making->made); }).detach();
}
