#include "plugin/fmsqlall.h"

#include <cstdlib>
#include <stdexcept>

#include "plugin/game_catalogue.h"
#include "plugin/polish_texts.h"
#include "plugin/text_lines.h"
#include "plugin/uri_encoder.h"

namespace veltra::plugin {
namespace {

constexpr const char* kServiceVariable = "ALLSQL_SERVICE";

// Letters, digits and the few marks of a host name, an IPv4 or bracketed IPv6 address and a
// port; anything else (a slash, a query, user information, blanks) is refused.
bool IsPlainHostPort(std::string_view host) {
  if (host.empty()) return false;
  for (char c : host) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '-' || c == '_' || c == ':' || c == '[' || c == ']';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

std::string ServiceHost() {
  const char* value = std::getenv(kServiceVariable);
  if (value == nullptr || value[0] == '\0') return std::string(kDefaultServiceHost);
  if (!IsPlainHostPort(value)) {
    throw std::invalid_argument(std::string(kServiceVariable) +
                                " must be a host name or address with an optional port, not '" +
                                value + "'");
  }
  return value;
}

std::string RequestUrl(std::string_view host, std::string_view request_text) {
  std::string url = "http://";
  url += host;
  url += kServicePath;
  url += "?data=";
  url += request_text;
  return url;
}

Tfmsqlall::Tfmsqlall(PluginState& state, std::unique_ptr<QueryComponent> query, DialogView& view,
                     HttpClientFactory new_http_client, std::string service_host)
    : state_(state),
      query_(std::move(query)),
      view_(view),
      new_http_client_(std::move(new_http_client)),
      service_host_(std::move(service_host)) {
  query_->SetRequestLive(true);
  query_->SetOnQueryProgress([this](QueryComponent& sender, uint16_t percent, bool& abort) {
    Query1QueryProgress(sender, percent, abort);
  });
  view_.SetExecuteEnabled(false);
}

std::string Tfmsqlall::Summary() {
  return BuildSummary(*query_, state_.database_directory.Bytes(), state_.draws);
}

void Tfmsqlall::FormShow() {
  view_.SetEditorText(Summary());
  view_.AddEditorLine(texts::kPressGet);
}

void Tfmsqlall::btnGETClick() {
  state_.ExecuteGuard = false;
  std::string request = BuildRequestText(state_.draws);
  std::string host = service_host_.empty() ? ServiceHost() : service_host_;
  std::string status(texts::kConnecting);
  status += host;
  view_.SetStatus(status);
  view_.AddEditorLine(texts::kRequestSent);
  view_.AddEditorLine(texts::kRequestRule);
  last_request_ = RequestUrl(host, request);
  view_.AddEditorLine(last_request_);
  DownloadScript(last_request_);
}

void Tfmsqlall::DownloadScript(const std::string& url) {
  std::string encoded = EncodeUrl(url);
  std::unique_ptr<HttpClient> client = new_http_client_();
  std::string body =
      client->Get(encoded, [this](TWorkMode mode, int64_t count) { HttpWork(mode, count); });
  client.reset();
  view_.SetEditorText(body);
  std::string trimmed(Trim(view_.EditorText()));
  view_.SetEditorText(trimmed);
  if (!trimmed.empty()) {
    view_.SetStatus(texts::kReadyToExecute);
    view_.SetExecuteEnabled(true);
  } else {
    view_.SetStatus(texts::kNothingNew);
  }
}

void Tfmsqlall::HttpWork(TWorkMode, int64_t count) {
  std::string status(texts::kReceivedPrefix);
  status += std::to_string(count);
  status += texts::kReceivedSuffix;
  view_.SetStatus(status);
}

void Tfmsqlall::btnExecuteClick() {
  if (state_.ExecuteGuard) return;
  ExecuteScript(view_.EditorText());
  view_.SetExecuteEnabled(false);
  state_.ExecuteGuard = true;
  view_.SetEditorText(Summary());
  std::string line(texts::kTotalEnteredPrefix);
  line += std::to_string(state_.EnteredCount);
  line += texts::kNewResultsSuffix;
  view_.AddEditorLine(line);
}

void Tfmsqlall::ExecuteScript(std::string_view script) {
  std::string_view trimmed = Trim(script);
  if (trimmed.empty()) {
    view_.SetStatus(texts::kNoCurrentDraws);
    state_.EnteredCount = 0;
    state_.ExecuteGuard = true;
    return;
  }
  query_->Close();
  query_->ClearSQL();
  query_->AddSQL(trimmed);
  query_->Execute();
  state_.EnteredCount = query_->AffectedRows();
  std::string status(texts::kEnteredPrefix);
  status += std::to_string(state_.EnteredCount);
  status += texts::kNewResultsSuffix;
  view_.SetStatus(status);
}

void Tfmsqlall::Query1QueryProgress(QueryComponent&, uint16_t percent_done, bool&) {
  std::string status(texts::kProgressPrefix);
  status += std::to_string(percent_done);
  status += texts::kProgressSuffix;
  view_.SetStatus(status);
}

void Tfmsqlall::Panel1DblClick() {
  view_.SetExecuteEnabled(true);
  state_.ExecuteGuard = false;
}

void Tfmsqlall::StatusBar1DblClick() { view_.AddEditorLine(last_request_); }

void Tfmsqlall::btnOKClick() { view_.Close(); }

}  // namespace veltra::plugin
