// The event types of the engine component, with the parameters the application's handlers get,
// in order. Sender is always the engine component. Where a handler hands something back (a
// cipher context, a compressed buffer, the text to index, whether to keep a word, an error's
// action) it does so through the reference parameter named for it; buffers it makes are byte
// vectors the engine owns afterwards.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine_hooks.h"

namespace veltra {

class TVELTRAEngine;
class TVELTRASession;   // session components
class TVELTRADatabase;  // database components
class TVELTRARecord;    // a cursor's record as the trigger handlers see it
class TVELTRAParams;    // a custom function's arguments
class TVariant;         // a custom function's result

using TNotifyEvent = std::function<void(TVELTRAEngine& sender)>;

// Key: the key bytes (the engine passes 16). OutData: the cipher context the handler makes; its
// size is the vector's.
using TCryptoInitEvent = std::function<void(TVELTRAEngine& sender, std::span<const uint8_t> key,
                                            std::vector<uint8_t>& out_data)>;
// Data: the context from crypto init. BlockBuffer: one 8-byte block, transformed in place.
using TEncryptBlockEvent =
    std::function<void(TVELTRAEngine& sender, std::span<uint8_t> data,
                       std::span<uint8_t, crypto::kCipherBlockSize> block_buffer)>;
using TDecryptBlockEvent = TEncryptBlockEvent;
using TCryptoResetEvent = std::function<void(TVELTRAEngine& sender, std::span<uint8_t> data)>;

using TCompressEvent = std::function<void(TVELTRAEngine& sender, std::span<const uint8_t> in_buffer,
                                          uint8_t level, std::vector<uint8_t>& out_buffer)>;
using TDecompressEvent = std::function<void(
    TVELTRAEngine& sender, std::span<const uint8_t> in_buffer, std::vector<uint8_t>& out_buffer)>;

using TTextIndexFilterEvent =
    std::function<void(TVELTRAEngine& sender, std::string_view table_name,
                       std::string_view field_name, std::string& text_to_index)>;
using TTextIndexTokenFilterEvent = std::function<void(
    TVELTRAEngine& sender, std::string_view table_name, std::string_view field_name,
    std::string_view text_index_token, bool& include)>;

using TCustomFunctionEvent =
    std::function<void(TVELTRAEngine& sender, std::string_view function_name,
                       TVELTRAParams& function_params, TVariant& result)>;

using TTriggerEvent = std::function<void(
    TVELTRAEngine& sender, TVELTRASession& trigger_session, TVELTRADatabase& trigger_database,
    std::string_view table_name, TVELTRARecord& current_record)>;
using TErrorEvent = std::function<void(TVELTRAEngine& sender, TVELTRASession& error_session,
                                       TVELTRADatabase& error_database, std::string_view table_name,
                                       TVELTRARecord& current_record, const std::exception& e,
                                       TDataAction& action)>;

}  // namespace veltra
