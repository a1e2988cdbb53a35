// The update dialog's workflow: what each button, double click and progress notification does to
// the status text, the editor, "Wykonaj", the database and the library-wide state.
//
// Tfmsqlall owns the dialog's query component (Query1) and talks to its window only through
// DialogView. Its handlers catch nothing; the front end reports an error that leaves one and the
// dialog stays open. Everything runs on the dialog's thread, the download and the script
// execution included; their progress texts are set from inside those calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "plugin/dialog_view.h"
#include "plugin/http_client.h"
#include "plugin/plugin_state.h"
#include "plugin/query_component.h"

namespace veltra::plugin {

// The results service's host when ALLSQL_SERVICE is not set: the stand-in service on loopback.
inline constexpr std::string_view kDefaultServiceHost = "127.0.0.1:18232";
inline constexpr std::string_view kServicePath = "/dtools/down_all_232.php";

// The results service's host[:port]: ALLSQL_SERVICE when it is set and not empty, else the
// default. Throws std::invalid_argument when the value is not a plain host[:port].
std::string ServiceHost();

// The request URL before encoding: "http://" host path "?data=" request text.
std::string RequestUrl(std::string_view host, std::string_view request_text);

class Tfmsqlall final : public DialogEvents {
 public:
  // `state` is the library-wide state, `view` the window, `new_http_client` makes the client of
  // each download, `service_host` the results service's host[:port] (empty: ServiceHost() at
  // each "Pobierz", so a bad ALLSQL_SERVICE is reported there). Sets Query1's RequestLive and
  // subscribes Query1QueryProgress. "Wykonaj" starts disabled.
  Tfmsqlall(PluginState& state, std::unique_ptr<QueryComponent> query, DialogView& view,
            HttpClientFactory new_http_client, std::string service_host);

  void FormShow() override;
  void btnGETClick() override;
  void btnExecuteClick() override;
  void Panel1DblClick() override;
  void StatusBar1DblClick() override;
  void btnOKClick() override;

  // GETs the encoded `url`, puts the trimmed answer into the editor and enables "Wykonaj" when
  // something remains. On a failed transfer the editor, "Wykonaj" and the status are unchanged.
  void DownloadScript(const std::string& url);
  void HttpWork(TWorkMode mode, int64_t count);
  // Executes the trimmed `script` through Query1 and records the affected rows in EnteredCount.
  void ExecuteScript(std::string_view script);
  void Query1QueryProgress(QueryComponent& sender, uint16_t percent_done, bool& abort);

  // The request URL of the last download of this dialog, before encoding; empty before one.
  const std::string& LastRequest() const { return last_request_; }
  QueryComponent& Query1() { return *query_; }

 private:
  std::string Summary();

  PluginState& state_;
  std::unique_ptr<QueryComponent> query_;
  DialogView& view_;
  HttpClientFactory new_http_client_;
  std::string service_host_;
  std::string last_request_;
};

}  // namespace veltra::plugin
