#include "tests/module/module_session.h"

#include <dlfcn.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/win32/headless.h"

namespace fs = std::filesystem;

void ModuleSession::SetUp() {
    headless::Reset();
    fs::create_directories(scratch / "cfg");
    fs::create_directories(scratch / "out");
    outputDir = (scratch / "out").string();
    host.SetScene(&scene);
    host.SetPluginConfigDir((scratch / "cfg").string());
    host.SetMessagePump([this]() {
        ++pumpCalls_;
        if (pump_) pump_(pumpCalls_);
    });
    LoadModule();
}

void ModuleSession::TearDown() {
    if (module && module->Loaded()) ClosePanel();
    UnloadModule();
    headless::Reset();
}

void ModuleSession::LoadModule() {
    module = std::make_unique<hostdrive::PluginModule>();
    std::string error;
    ASSERT_TRUE(module->Load(KVOEXP_MODULE_PATH, error)) << error;
}

void ModuleSession::UnloadModule() {
    if (module) module->Unload();
}

void ModuleSession::OpenPanel() {
    std::string error;
    ASSERT_TRUE(panel.Open(*module, error)) << error;
}

void ModuleSession::ClosePanel() {
    panel.Close();
}

HWND ModuleSession::Page(int templateId) {
    return panel.Page(templateId);
}

HWND ModuleSession::Control(int templateId, int id) {
    return GetDlgItem(Page(templateId), id);
}

void ModuleSession::Click(int templateId, int id) {
    HWND control = Control(templateId, id);
    ASSERT_NE(control, nullptr) << "no control " << id << " on page " << templateId;
    SendMessageA(control, BM_CLICK, 0, 0);
}

void ModuleSession::TypeOutputDir(const std::string& text) {
    SetWindowTextA(Control(IDD_OUTPUT, IDC_OUTPUT_DIR), text.c_str());
}

std::string ModuleSession::OutputDirText() {
    return headless::Inspect(Control(IDD_OUTPUT, IDC_OUTPUT_DIR)).text;
}

bool ModuleSession::Checked(int id) {
    return panel.Checked(id);
}

bool ModuleSession::Enabled(int id) {
    return panel.Enabled(id);
}

HWND ModuleSession::ProgressDialog() {
    for (HWND dialog : host.RegisteredDialogs()) {
        const headless::WindowInfo info = headless::Inspect(dialog);
        if (info.exists && info.templateId == IDD_PROGRESS && info.owner == Page(IDD_ABOUT)) {
            return dialog;
        }
    }
    return nullptr;
}

std::string ModuleSession::DialogText(HWND dialog, int id) {
    return headless::Inspect(GetDlgItem(dialog, id)).text;
}

void ModuleSession::SetPump(std::function<void(int)> pump) {
    pump_ = std::move(pump);
}

std::string ModuleSession::ConfigFile() const {
    return (scratch / "cfg" / "kvoexp.cfg").string();
}

void ModuleSession::WriteSettings(const std::string& dir, const std::string& flags) {
    std::ofstream file(ConfigFile(), std::ios::binary);
    file << dir << '\n';
    for (char flag : flags) file << flag << '\n';
}

std::vector<std::string> ModuleSession::SettingsLines() const {
    std::vector<std::string> lines;
    std::ifstream file(ConfigFile(), std::ios::binary);
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

std::string ModuleSession::Out(const std::string& name) const {
    return (fs::path(outputDir) / name).string();
}

std::string ModuleSession::ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

int ModuleSession::CountOf(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

INode* ModuleSession::AddQuad(const std::string& name, bool selected) {
    INode* node = scene.GetRootNode()->CreateChild(name);
    auto* tri = new TriObject();
    Mesh& mesh = tri->GetMesh();
    mesh.setNumVerts(4);
    mesh.setVert(0, Point3(0, 0, 0));
    mesh.setVert(1, Point3(1, 0, 0));
    mesh.setVert(2, Point3(1, 1, 0));
    mesh.setVert(3, Point3(0, 1, 0));
    mesh.setNumFaces(2);
    mesh.faces[0].setVerts(0, 1, 2);
    mesh.faces[1].setVerts(0, 2, 3);
    for (Face& face : mesh.faces) face.setSmGroup(1);
    node->SetObject(tri);
    node->SetSelected(selected);
    return node;
}

bool ModuleIsResident(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return false;
    dlclose(handle);
    return true;
}
