#pragma once
// A request that sends form data: named text values and named files or data
// blocks, URL-encoded ("application/x-www-form-urlencoded") or as multipart
// form data. Only the body and its "Content-Type" are its own; the rest is
// HttpRequest's. Any file makes the body multipart and streamed from disk.

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "lib/http/HttpRequest.h"

namespace http {

enum PostFormat { PostFormatMultipart = 0, PostFormatURLEncoded = 1 };

class HttpFormDataRequest;
using HttpFormDataRequestRef = std::shared_ptr<HttpFormDataRequest>;

class HttpFormDataRequest : public HttpRequest {
public:
    struct PostValue {
        std::string key;
        std::string value;
    };
    struct FileValue {
        std::string key;
        std::string fileName;
        std::string contentType;
        // The bytes, or the path of a file whose contents are sent.
        std::variant<Bytes, std::string> data;
    };

    static HttpFormDataRequestRef requestWithURL(const std::optional<net::Url>& url);
    static HttpFormDataRequestRef requestWithURL(const std::string& url);

    // A value is sent as its description text ("42" for the number 42).
    void addPostValue(const foundation::Value& value, const std::string& key);
    // Replaces every value of the key.
    void setPostValue(const foundation::Value& value, const std::string& key);

    // A file from disk; a missing file or a directory fails the request
    // (code 6 "No file exists at <path>"), the entry is kept all the same.
    // Without a name the path's last part is used; without a type the MIME
    // type of the file.
    void addFile(const std::string& path, const std::string& key);
    void addFile(const std::string& path, const std::optional<std::string>& fileName,
                 const std::optional<std::string>& contentType, const std::string& key);
    void setFile(const std::string& path, const std::string& key);
    void setFile(const std::string& path, const std::optional<std::string>& fileName,
                 const std::optional<std::string>& contentType, const std::string& key);
    // A data block, named "file" unless told otherwise, of type
    // "application/octet-stream" unless told otherwise.
    void addData(const Bytes& data, const std::string& key);
    void addData(std::variant<Bytes, std::string> data, const std::optional<std::string>& fileName,
                 const std::optional<std::string>& contentType, const std::string& key);
    void setData(const Bytes& data, const std::string& key);
    void setData(std::variant<Bytes, std::string> data, const std::optional<std::string>& fileName,
                 const std::optional<std::string>& contentType, const std::string& key);

    // nullopt until the first value (or file) is added; may be set empty.
    std::optional<std::vector<PostValue>> postData() const;
    void setPostData(std::optional<std::vector<PostValue>> values);
    std::optional<std::vector<FileValue>> fileData() const;
    int postFormat() const;
    void setPostFormat(int format);
    StringEncoding stringEncoding() const;
    // UTF-8 (the default), ISO Latin 1 and ASCII are written as such; any
    // other encoding is written as UTF-8.
    void setStringEncoding(StringEncoding encoding);

    // The text escaped for a URL-encoded body: only A-Z a-z 0-9 - . _ stay.
    // "" when the text cannot be written in the encoding.
    std::string encodeURL(const std::string& text) const;

    // A copy: the request's copy, both lists, the format and the encoding.
    HttpFormDataRequestRef copyFormRequest() const;

protected:
    explicit HttpFormDataRequest(const std::optional<net::Url>& url);
    void buildPostBody() override;
    HttpRequestRef makeEmptyCopy() const override;

private:
    void buildMultipartFormDataPostBody();
    void buildURLEncodedPostBody();
    void appendPostString(const std::string& text);
    std::optional<std::string> encodeText(const std::string& text) const;
    std::string charsetName() const;

    mutable std::mutex formMutex_;
    std::optional<std::vector<PostValue>> postData_;
    std::optional<std::vector<FileValue>> fileData_;
    int postFormat_ = PostFormatURLEncoded;
    StringEncoding stringEncoding_ = kUTF8StringEncoding;
};

}  // namespace http
