#include "lib/http/HttpFormDataRequest.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/foundation/Encoding.h"
#include "platform/foundation/Uuid.h"

namespace http {
namespace {

// A field or file name inside a quoted header parameter: a quote or a line
// break would end the parameter or the header and let the data make parts
// or headers of its own, so they are escaped as HTML forms do.
std::string quotedParameter(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '"')
            out += "%22";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}

std::string lastPathComponent(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

}  // namespace

HttpFormDataRequest::HttpFormDataRequest(const std::optional<net::Url>& url) : HttpRequest(url) {
    setRequestMethod("POST");
}

HttpFormDataRequestRef HttpFormDataRequest::requestWithURL(const std::optional<net::Url>& url) {
    return HttpFormDataRequestRef(new HttpFormDataRequest(url));
}

HttpFormDataRequestRef HttpFormDataRequest::requestWithURL(const std::string& url) {
    return requestWithURL(net::Url::parse(url));
}

void HttpFormDataRequest::addPostValue(const foundation::Value& value, const std::string& key) {
    std::lock_guard<std::mutex> lock(formMutex_);
    if (!postData_) postData_.emplace();
    postData_->push_back({key, value.description()});
}

void HttpFormDataRequest::setPostValue(const foundation::Value& value, const std::string& key) {
    {
        std::lock_guard<std::mutex> lock(formMutex_);
        if (postData_) std::erase_if(*postData_, [&](const PostValue& v) { return v.key == key; });
    }
    addPostValue(value, key);
}

void HttpFormDataRequest::addFile(const std::string& path, const std::string& key) {
    addFile(path, std::nullopt, std::nullopt, key);
}

void HttpFormDataRequest::addFile(const std::string& path, const std::optional<std::string>& fileName,
                                  const std::optional<std::string>& contentType, const std::string& key) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        failRequest(makeHttpError(kInternalErrorWhileBuildingRequestType, "No file exists at " + path));
    std::optional<std::string> type = contentType;
    if (!type) type = mimeTypeForFileAtPath(path);
    addData(path, fileName ? *fileName : lastPathComponent(path), type, key);
}

void HttpFormDataRequest::setFile(const std::string& path, const std::string& key) {
    setFile(path, std::nullopt, std::nullopt, key);
}

void HttpFormDataRequest::setFile(const std::string& path, const std::optional<std::string>& fileName,
                                  const std::optional<std::string>& contentType, const std::string& key) {
    {
        std::lock_guard<std::mutex> lock(formMutex_);
        if (fileData_) std::erase_if(*fileData_, [&](const FileValue& v) { return v.key == key; });
    }
    addFile(path, fileName, contentType, key);
}

void HttpFormDataRequest::addData(const Bytes& data, const std::string& key) {
    addData(data, std::string("file"), std::nullopt, key);
}

void HttpFormDataRequest::addData(std::variant<Bytes, std::string> data, const std::optional<std::string>& fileName,
                                  const std::optional<std::string>& contentType, const std::string& key) {
    std::lock_guard<std::mutex> lock(formMutex_);
    if (!fileData_) fileData_.emplace();
    fileData_->push_back(
        {key, fileName.value_or("file"), contentType.value_or("application/octet-stream"), std::move(data)});
}

void HttpFormDataRequest::setData(const Bytes& data, const std::string& key) {
    setData(data, std::string("file"), std::nullopt, key);
}

void HttpFormDataRequest::setData(std::variant<Bytes, std::string> data, const std::optional<std::string>& fileName,
                                  const std::optional<std::string>& contentType, const std::string& key) {
    {
        std::lock_guard<std::mutex> lock(formMutex_);
        if (fileData_) std::erase_if(*fileData_, [&](const FileValue& v) { return v.key == key; });
    }
    addData(std::move(data), fileName, contentType, key);
}

std::optional<std::vector<HttpFormDataRequest::PostValue>> HttpFormDataRequest::postData() const {
    std::lock_guard<std::mutex> lock(formMutex_);
    return postData_;
}
void HttpFormDataRequest::setPostData(std::optional<std::vector<PostValue>> values) {
    std::lock_guard<std::mutex> lock(formMutex_);
    postData_ = std::move(values);
}
std::optional<std::vector<HttpFormDataRequest::FileValue>> HttpFormDataRequest::fileData() const {
    std::lock_guard<std::mutex> lock(formMutex_);
    return fileData_;
}
int HttpFormDataRequest::postFormat() const {
    std::lock_guard<std::mutex> lock(formMutex_);
    return postFormat_;
}
void HttpFormDataRequest::setPostFormat(int format) {
    std::lock_guard<std::mutex> lock(formMutex_);
    postFormat_ = format;
}
StringEncoding HttpFormDataRequest::stringEncoding() const {
    std::lock_guard<std::mutex> lock(formMutex_);
    return stringEncoding_;
}
void HttpFormDataRequest::setStringEncoding(StringEncoding encoding) {
    std::lock_guard<std::mutex> lock(formMutex_);
    stringEncoding_ = encoding;
}

std::string HttpFormDataRequest::charsetName() const {
    StringEncoding e = stringEncoding();
    if (e == kISOLatin1StringEncoding) return "iso-8859-1";
    if (e == kASCIIStringEncoding) return "us-ascii";
    return "utf-8";
}

// UTF-8 text in the request's encoding; nullopt when a character has no
// place in it.
std::optional<std::string> HttpFormDataRequest::encodeText(const std::string& text) const {
    StringEncoding e = stringEncoding();
    if (e != kISOLatin1StringEncoding && e != kASCIIStringEncoding) return text;
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += char(c);
            continue;
        }
        // Two-byte UTF-8 sequences C2/C3 xx hold U+0080..U+00FF.
        if (e == kISOLatin1StringEncoding && (c == 0xC2 || c == 0xC3) && i + 1 < text.size()) {
            unsigned char d = static_cast<unsigned char>(text[i + 1]);
            if ((d & 0xC0) == 0x80) {
                out += char(((c & 0x1F) << 6) | (d & 0x3F));
                ++i;
                continue;
            }
        }
        return std::nullopt;
    }
    return out;
}

std::string HttpFormDataRequest::encodeURL(const std::string& text) const {
    auto encoded = encodeText(text);
    if (!encoded) return "";
    // Form bodies escape '~' as well: only A-Z a-z 0-9 - . _ stay as written.
    std::string out;
    for (char c : foundation::percentEscape(*encoded)) {
        if (c == '~')
            out += "%7E";
        else
            out += c;
    }
    return out;
}

void HttpFormDataRequest::appendPostString(const std::string& text) {
    auto encoded = encodeText(text);
    if (encoded) appendPostData(*encoded);
}

void HttpFormDataRequest::buildPostBody() {
    if (haveBuiltPostBody()) return;
    bool hasValues, hasFiles;
    int format;
    {
        std::lock_guard<std::mutex> lock(formMutex_);
        hasValues = postData_.has_value();
        hasFiles = fileData_.has_value();
        format = postFormat_;
    }
    if (!hasValues && !hasFiles) {
        HttpRequest::buildPostBody();
        return;
    }
    if (hasFiles && !fileData()->empty()) setShouldStreamPostDataFromDisk(true);
    if (format == PostFormatURLEncoded)
        buildURLEncodedPostBody();
    else
        buildMultipartFormDataPostBody();
    HttpRequest::buildPostBody();
}

void HttpFormDataRequest::buildURLEncodedPostBody() {
    auto files = fileData();
    if (files && !files->empty()) {
        setPostFormat(PostFormatMultipart);
        buildMultipartFormDataPostBody();
        return;
    }
    addRequestHeader("Content-Type", "application/x-www-form-urlencoded; charset=" + charsetName());
    auto values = postData().value_or(std::vector<PostValue>{});
    for (size_t i = 0; i < values.size(); ++i)
        appendPostString(encodeURL(values[i].key) + "=" + encodeURL(values[i].value) +
                         (i + 1 < values.size() ? "&" : ""));
}

void HttpFormDataRequest::buildMultipartFormDataPostBody() {
    std::string boundary = "0xKhTmLbOuNdArY-" + foundation::createUUID();
    addRequestHeader("Content-Type", "multipart/form-data; charset=" + charsetName() + "; boundary=" + boundary);
    auto values = postData().value_or(std::vector<PostValue>{});
    auto files = fileData().value_or(std::vector<FileValue>{});
    std::string separator = "\r\n--" + boundary + "\r\n";
    appendPostString("--" + boundary + "\r\n");
    for (size_t i = 0; i < values.size(); ++i) {
        appendPostString("Content-Disposition: form-data; name=\"" + quotedParameter(values[i].key) + "\"\r\n\r\n");
        appendPostString(values[i].value);
        if (i + 1 < values.size() || !files.empty()) appendPostString(separator);
    }
    for (size_t j = 0; j < files.size(); ++j) {
        const FileValue& f = files[j];
        appendPostString("Content-Disposition: form-data; name=\"" + quotedParameter(f.key) + "\"; filename=\"" +
                         quotedParameter(f.fileName) + "\"\r\n");
        appendPostString("Content-Type: " + quotedParameter(f.contentType) + "\r\n\r\n");
        if (const auto* path = std::get_if<std::string>(&f.data))
            appendPostDataFromFile(*path);
        else
            appendPostData(std::get<Bytes>(f.data));
        if (j + 1 < files.size()) appendPostString(separator);
    }
    appendPostString("\r\n--" + boundary + "--\r\n");
}

HttpRequestRef HttpFormDataRequest::makeEmptyCopy() const { return requestWithURL(url()); }

HttpFormDataRequestRef HttpFormDataRequest::copyFormRequest() const {
    auto r = std::static_pointer_cast<HttpFormDataRequest>(copy());
    std::lock_guard<std::mutex> lock(formMutex_);
    r->postData_ = postData_;
    r->fileData_ = fileData_;
    r->postFormat_ = postFormat_;
    r->stringEncoding_ = stringEncoding_;
    return r;
}

}  // namespace http
