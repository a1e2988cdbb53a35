#include "storage/field_definition.h"

#include "storage/short_string.h"

namespace veltra {

FieldDefinitionImage EncodeFieldDefinition(const TFieldDefinition& definition) {
  FieldDefinitionImage image{};
  std::span<uint8_t> area(image);
  StoreU16(area, kDefNumber, static_cast<uint16_t>(definition.number));
  StoreShortString(area, kDefName, kFieldNameCapacity, definition.name);
  StoreShortString(area, kDefDescription, kFieldDescriptionCapacity, definition.description);
  StoreU8(area, kDefDataType, definition.data_type);
  StoreU8(area, kDefSubType, definition.sub_type);
  StoreU16(area, kDefSize, definition.size);
  StoreU8(area, kDefDecimals, definition.decimals);
  StoreU16(area, kDefStoredSize, definition.stored_size);
  StoreU8(area, kDefStoredDecimals, definition.stored_decimals);
  StoreU16(area, kDefOffset, definition.offset);
  StoreU8(area, kDefRequired, definition.required ? 1 : 0);
  StoreU8(area, kDefCharacterCase, definition.character_case);
  StoreShortString(area, kDefMinimum, kFieldValueTextCapacity, definition.minimum);
  StoreShortString(area, kDefMaximum, kFieldValueTextCapacity, definition.maximum);
  StoreShortString(area, kDefDefault, kFieldValueTextCapacity, definition.default_value);
  StoreU8(area, kDefCompression, definition.compression);
  StoreU8(area, kDefComputed, definition.computed ? 1 : 0);
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
  definition.number = LoadU16(area, kDefNumber);
  definition.name = text(kDefName, kFieldNameCapacity);
  definition.description = text(kDefDescription, kFieldDescriptionCapacity);
  definition.data_type = LoadU8(area, kDefDataType);
  definition.sub_type = LoadU8(area, kDefSubType);
  definition.size = LoadU16(area, kDefSize);
  definition.decimals = LoadU8(area, kDefDecimals);
  definition.stored_size = LoadU16(area, kDefStoredSize);
  definition.stored_decimals = LoadU8(area, kDefStoredDecimals);
  definition.offset = LoadU16(area, kDefOffset);
  definition.required = LoadU8(area, kDefRequired) != 0;
  definition.character_case = LoadU8(area, kDefCharacterCase);
  definition.minimum = text(kDefMinimum, kFieldValueTextCapacity);
  definition.maximum = text(kDefMaximum, kFieldValueTextCapacity);
  definition.default_value = text(kDefDefault, kFieldValueTextCapacity);
  definition.compression = LoadU8(area, kDefCompression);
  definition.computed = LoadU8(area, kDefComputed) != 0;
  return decoded;
}

}  // namespace veltra
