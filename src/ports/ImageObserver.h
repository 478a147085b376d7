#pragma once

// What the view hears of the image as the loader and the saver change it. The
// command-line tool has no view and passes NoImageObserver.
class ImageObserver {
public:
    virtual ~ImageObserver() = default;
    // The previous image is gone: nothing of it is to be shown any more.
    virtual void ImageRowsReset() = 0;
    // The image's length changed; `toTop`: show it from its first row.
    virtual void ImageLengthChanged(bool toTop) = 0;
    // A new image: no cell keeps the focus of the old one.
    virtual void ImageFocusCleared() = 0;
    // The bytes on show may have changed: show them again.
    virtual void ImageChanged() = 0;
};

class NoImageObserver : public ImageObserver {
public:
    void ImageRowsReset() override {}
    void ImageLengthChanged(bool) override {}
    void ImageFocusCleared() override {}
    void ImageChanged() override {}
};
