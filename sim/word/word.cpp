#include "sim/word/word.h"

#include <stdexcept>

#include "sim/word/word_host.h"

namespace vantrell::sim {

namespace {

CommandBarObject& BarOf(const word::WordHost& host, const std::wstring& name) {
    CommandBarObject* bar = host.Bars()->Find(name);
    if (!bar) throw std::out_of_range("Word has no command bar of this name");
    return *bar;
}

}  // namespace

Word::Word(std::wstring version) : host_(std::make_shared<word::WordHost>(std::move(version))) {}

Word::~Word() {
    try {
        host_->Quit();
    } catch (...) {
        // A destructor lets nothing escape.
    }
}

void Word::Start() { host_->Start(); }
void Word::Quit() { host_->Quit(); }
void Word::EndProcess() { host_->EndProcess(); }
bool Word::Running() const { return host_->Running(); }

int Word::OpenDocument(const std::wstring& name, bool email) {
    return host_->Open(name, email ? word::DocumentKind::EmailBeingWritten : word::DocumentKind::Plain);
}
int Word::OpenDocument(const std::wstring& name, word::DocumentKind kind) { return host_->Open(name, kind); }
void Word::ActivateDocument(int document) { host_->Activate(host_->Find(document)); }
void Word::CloseDocument(int document) { host_->Close(host_->Find(document)); }
IDispatch* Word::Document(int document) const { return host_->Find(document)->Dispatch(); }
IDispatch* Word::Application() const { return host_->Application()->Dispatch(); }

bool Word::TemplateSaved() const { return host_->TemplateSaved(); }
void Word::SetTemplateSaved(bool saved) { host_->SetTemplateSaved(saved); }
std::vector<ControlInfo> Word::BarControls(const std::wstring& bar) const { return BarOf(*host_, bar).ControlInfos(); }
bool Word::BarVisible(const std::wstring& bar) const { return BarOf(*host_, bar).Visible(); }
void Word::ClickButton(const std::wstring& tag) { host_->Click(tag); }

void Word::FailMember(const std::wstring& kind, const std::wstring& member, HRESULT hr,
                      const std::wstring& description) {
    host_->Fail(kind, member, hr, description);
}
void Word::ClearFaults() { host_->ClearFaults(); }
void Word::FailOnce(const std::wstring& kind, const std::wstring& member, HRESULT hr,
                    const std::wstring& description) {
    host_->FailOnce(kind, member, hr, description);
}
bool Word::FaultPending(const std::wstring& kind, const std::wstring& member) const {
    return host_->FaultPending(kind, member);
}
void Word::RecordCalls(bool on) { host_->RecordCalls(on); }
const std::vector<MemberCall>& Word::Calls() const { return host_->Calls(); }
void Word::ClearCalls() { host_->ClearCalls(); }
long Word::ReferencesHeldOutside() const { return host_->ReferencesHeldOutside(); }
std::wstring Word::DescribeHeldOutside() const { return host_->DescribeHeldOutside(); }
const std::vector<std::wstring>& Word::Log() const { return host_->Log(); }

}  // namespace vantrell::sim
