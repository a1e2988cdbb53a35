#include "storage/field_definition.h"

#include "core/byte_order.h"
#include "storage/short_string.h"

namespace veltra {

FieldDefinitionImage EncodeFieldDefinition(const TFieldDefinition& definition) {
  FieldDefinitionImage image{};
  std::span<uint8_t> area(image);
  StoreU16LeAt(area, kDefNumber, static_cast<uint16_t>(definition.number));
  StoreShortString(area, kDefName, kFieldNameCapacity, definition.name);
  StoreShortString(area, kDefDescription, kFieldDescriptionCapacity, definition.description);
  StoreU8At(area, kDefDataType, definition.data_type);
  StoreU8At(area, kDefSubType, definition.sub_type);
  StoreU16LeAt(area, kDefSize, definition.size);
  StoreU8At(area, kDefDecimals, definition.decimals);
  StoreU16LeAt(area, kDefStoredSize, definition.stored_size);
  StoreU8At(area, kDefStoredDecimals, definition.stored_decimals);
  StoreU16LeAt(area, kDefOffset, definition.offset);
  StoreU8At(area, kDefRequired, definition.required ? 1 : 0);
  StoreU8At(area, kDefCharacterCase, definition.character_case);
  StoreShortString(area, kDefMinimum, kFieldValueTextCapacity, definition.minimum);
  StoreShortString(area, kDefMaximum, kFieldValueTextCapacity, definition.maximum);
  StoreShortString(area, kDefDefault, kFieldValueTextCapacity, definition.default_value);
  StoreU8At(area, kDefCompression, definition.compression);
  StoreU8At(area, kDefComputed, definition.computed ? 1 : 0);
  return image;
}

DecodedFieldDefinition DecodeFieldDefinition(
    std::span<const uint8_t, kFieldDefinitionBytes> image) {
  std::span<const uint8_t> area(image);
  DecodedFieldDefinition decoded;
  TFieldDefinition& definition = decoded.definition;
  auto text = [&](size_t offset, size_t capacity) {
    ShortStringRead read = LoadShortString(area, offset, capacity);
    decoded.texts_fit = decoded.texts_fit && read.fits;
    return std::move(read.text);
  };
  definition.number = LoadU16LeAt(area, kDefNumber);
  definition.name = text(kDefName, kFieldNameCapacity);
  definition.description = text(kDefDescription, kFieldDescriptionCapacity);
  definition.data_type = LoadU8At(area, kDefDataType);
  definition.sub_type = LoadU8At(area, kDefSubType);
  definition.size = LoadU16LeAt(area, kDefSize);
  definition.decimals = LoadU8At(area, kDefDecimals);
  definition.stored_size = LoadU16LeAt(area, kDefStoredSize);
  definition.stored_decimals = LoadU8At(area, kDefStoredDecimals);
  definition.offset = LoadU16LeAt(area, kDefOffset);
  definition.required = LoadU8At(area, kDefRequired) != 0;
  definition.character_case = LoadU8At(area, kDefCharacterCase);
  definition.minimum = text(kDefMinimum, kFieldValueTextCapacity);
  definition.maximum = text(kDefMaximum, kFieldValueTextCapacity);
  definition.default_value = text(kDefDefault, kFieldValueTextCapacity);
  definition.compression = LoadU8At(area, kDefCompression);
  definition.computed = LoadU8At(area, kDefComputed) != 0;
  return decoded;
}

}  // namespace veltra
