// The headless extras: module resources, records, scripting and lookups.
#include "platform/win32/headless.h"

#include "platform/win32/headless_state.h"

namespace headless {

using detail::GetState;

bool RegisterModuleResources(HINSTANCE module, const char* resourceScript,
                             const char* resourceHeader, std::string* error,
                             const char* moduleName) {
    auto& s = GetState();
    std::string problem;
    detail::Module parsed;
    if (module == nullptr) {
        problem = "no module handle";
    } else if (resourceScript == nullptr) {
        problem = "no resource script";
    } else if (!ParseResourceScript(resourceScript, resourceHeader != nullptr ? resourceHeader : "",
                                    &parsed.resources, &problem)) {
        problem = "resource script: " + problem;
    }
    if (!problem.empty()) {
        s.lastResourceError = problem;
        if (error != nullptr) *error = problem;
        return false;
    }
    parsed.name = moduleName != nullptr ? moduleName : "";
    s.modules[module] = std::move(parsed);
    s.lastResourceError.clear();
    return true;
}

void UnregisterModuleResources(HINSTANCE module) {
    GetState().modules.erase(module);
}

const ResourceTable* ModuleResources(HINSTANCE module) {
    auto& modules = GetState().modules;
    auto found = modules.find(module);
    return found == modules.end() ? nullptr : &found->second.resources;
}

std::string LastResourceError() {
    return GetState().lastResourceError;
}

const std::vector<MessageBoxRecord>& MessageBoxes() {
    return GetState().messageBoxes;
}
void ClearMessageBoxes() {
    GetState().messageBoxes.clear();
}
void SetMessageBoxHook(std::function<void(const MessageBoxRecord&)> hook) {
    GetState().messageBoxHook = std::move(hook);
}

void QueueFolderChoice(const std::string& path) {
    GetState().folderAnswers.emplace_back(detail::FolderAnswer::Choose, path);
}
void QueueFolderCancel() {
    GetState().folderAnswers.emplace_back(detail::FolderAnswer::Cancel, "");
}
void QueueVirtualFolderChoice() {
    GetState().folderAnswers.emplace_back(detail::FolderAnswer::Virtual, "::{virtual}");
}
void ClearFolderQueue() {
    GetState().folderAnswers.clear();
}
void SetShellAllocatorAvailable(bool available) {
    GetState().allocatorAvailable = available;
}
const std::vector<FolderBrowseRecord>& FolderBrowses() {
    return GetState().folderBrowses;
}
void ClearFolderBrowses() {
    GetState().folderBrowses.clear();
}
int OutstandingItemLists() {
    return static_cast<int>(GetState().itemLists.size());
}
int OutstandingAllocators() {
    return GetState().outstandingAllocators;
}

WindowInfo Inspect(HWND window) {
    WindowInfo info;
    detail::Window* w = detail::Find(window);
    if (w == nullptr) return info;
    info.exists = true;
    info.className = w->className;
    info.text = w->text;
    info.style = w->style;
    info.exStyle = w->exStyle;
    info.id = w->id;
    info.rect = w->rect;
    info.enabled = !(w->style & WS_DISABLED);
    info.visible = (w->style & WS_VISIBLE) != 0;
    info.parent = w->parent;
    info.owner = w->owner;
    info.module = w->module;
    info.templateId = w->templateId;
    info.check = w->check;
    info.rangeLow = w->rangeLow;
    info.rangeHigh = w->rangeHigh;
    info.pos = w->pos;
    info.dialogEnded = w->dialogEnded;
    info.dialogResult = w->dialogResult;
    info.children = w->children;
    return info;
}

std::vector<HWND> AllWindows() {
    std::vector<HWND> all;
    for (const auto& entry : GetState().windows) all.push_back(entry.second->handle);
    return all;
}

// Asked once per face and corner: the usual empty queue without counting.
size_t PendingMessages() {
    const auto& queue = GetState().queue;
    return queue.empty() ? 0 : queue.size();
}

int CommonControlsInitCount() {
    return GetState().commonControlsInits;
}

void Reset() {
    auto& s = GetState();
    std::vector<HWND> topLevel;
    for (const auto& entry : s.windows) {
        if (!(entry.second->style & WS_CHILD)) topLevel.push_back(entry.second->handle);
    }
    for (HWND w : topLevel) DestroyWindow(w);
    detail::RemoveAllWindows();
    s.focus = nullptr;
    s.queue.clear();
    s.modules.clear();
    s.lastResourceError.clear();
    s.messageBoxes.clear();
    s.messageBoxHook = nullptr;
    s.folderAnswers.clear();
    s.folderBrowses.clear();
    s.allocatorAvailable = true;
    s.commonControlsInits = 0;
}

}  // namespace headless
